#pragma once
// What the version records of a downloaded installer and of the running agent
// say, and whether the installer is an uninstaller. Runs on whichever thread
// calls it; keeps nothing.
#include <windows.h>

#include "core/update_check.h"
#include "net/signature_api.h"

namespace kov {

// `file` is the open installer at `filePath` (reads at explicit offsets, so
// its file position does not matter); `agentPath` the running agent.
VersionFacts ReadVersionFacts(const SignatureApi& api, HANDLE file, const WideString& filePath,
                              const WideString& agentPath);

}  // namespace kov
