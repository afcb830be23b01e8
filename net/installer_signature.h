#pragma once
// The Authenticode check of a downloaded installer: is it intact, and signed
// by the publisher that signed the reference file (the running agent)?
#include <string>

#include "core/platform.h"

namespace kov {

// Both paths UTF-8. Reads the files; builds the signer's certificate chain from
// the local stores only (no network). Loads the system's signature libraries
// with the first call (CheckUnavailable when they cannot be loaded).
InstallerCheck CheckSignedLike(const std::string& file, const std::string& reference);

}  // namespace kov
