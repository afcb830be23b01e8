#pragma once
// The Windows operations behind an agent update: where the installer goes,
// fetching it, checking its signature, removing and starting it. Paths are
// UTF-8; the URL is the service's Windows-1251 text.
#include <optional>
#include <string>

#include "core/diagnostic_log.h"
#include "core/platform.h"

namespace kov {

// The user's temporary directory with "KovarentisSetup.exe" appended; none
// when the directory cannot be had.
std::optional<std::string> InstallerPath();

// A fresh copy of url (never from the URL cache, never written to it) into
// path, through WinINet with its own certificate checks and nothing relaxed.
// True only for HTTP status 200 with the whole body written; otherwise no file
// is left at path, and log has a line naming the step that failed with its
// Windows error (or the status). Bodies over kInstallerSizeCap are refused.
bool DownloadToFile(const std::string& url, const std::string& path, DiagnosticLog& log);
constexpr unsigned long long kInstallerSizeCap = 64ull * 1024 * 1024;

// CheckSignedLike(path, <the running program>); when the signature libraries
// cannot be had, log says which step failed and its Windows error.
InstallerCheck CheckAgainstRunningAgent(const std::string& path, DiagnosticLog& log);

// DeleteFileW; a file already gone is fine.
void RemoveFile(const std::string& path);

// ShellExecuteW "open" with empty parameters and directory, shown normally;
// true when the shell reports that it started the file.
bool OpenWithShell(const std::string& file);

}  // namespace kov
