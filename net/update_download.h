#pragma once
// The Windows operations behind an agent update: where the installer goes,
// fetching it, checking what arrived, and starting it.
#include <optional>
#include <string>

namespace kov {

// The user's temporary directory with "KovarentisSetup.exe" appended; none when
// the directory cannot be had or the path would not fit in MAX_PATH bytes.
std::optional<std::string> InstallerPath();

// URLDownloadToFileA; true when it reports success (which, for an HTTP error
// page, it does too: see StartsWithMz).
bool DownloadToFile(const std::string& url, const std::string& path);

// True when the file begins with "MZ", the mark of a Windows executable.
bool StartsWithMz(const std::string& path);

// ShellExecuteA "open" with empty parameters and directory, shown normally;
// true when the shell reports that it started the file.
bool OpenWithShell(const std::string& file);

}  // namespace kov
