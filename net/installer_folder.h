#pragma once
// Where a downloaded installer lives until it starts: a folder of the agent's
// own under %LOCALAPPDATA%, which only the current user may open. Runs on
// whichever thread calls it; keeps nothing.
#include <optional>
#include <string>

#include "core/diagnostic_log.h"

namespace kov {

// %LOCALAPPDATA%\KovarentisUpdate\KovarentisSetup.exe (UTF-8), the folder made
// with access for the current user alone (protected from inherited rights)
// when it is missing, and emptied of what an earlier update left; none, with a
// line in log, when the folder cannot be had or not emptied.
std::optional<std::string> PrepareInstallerPath(DiagnosticLog& log);

// Deletes the installer an earlier update started, if it has ended; one that
// still runs stays until the next start or update.
void RemoveLeftInstaller();

}  // namespace kov
