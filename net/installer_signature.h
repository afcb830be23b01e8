#pragma once
// The check of a downloaded installer: is it intact, signed by the publisher
// that signed the reference file (the running agent), and a newer installer
// of that agent? Runs on whichever thread calls it; keeps nothing.
#include <windows.h>

#include <string>

#include "core/platform.h"

namespace kov {

// `file` is the installer opened for reading with writers shut out; `path`
// (UTF-8) names the same file, whose version record is read while that handle
// keeps it as checked. The signature is verified through the handle, and the
// signer judged is the one the system verified. Revocation is asked of the
// network for a few seconds at most; an answer that does not come refuses
// nothing. Loads the system's signature libraries with the first call
// (CheckUnavailable when they cannot be loaded).
InstallerCheck CheckSignedLike(HANDLE file, const std::string& path, const std::string& reference);

}  // namespace kov
