#pragma once
// The Windows operations behind an agent update: fetching the installer,
// checking it through the handle that keeps it unchanged, removing and
// starting it. Paths are UTF-8; the URL is the service's Windows-1251 text.
// No state: what the calls return belongs to the calling thread, and a held
// installer's handle may be handed to another thread with it.
#include <optional>
#include <string>

#include "core/diagnostic_log.h"
#include "core/platform.h"
#include "winsupport/handles.h"

namespace kov {

// A fresh copy of url (never from the URL cache, never written to it) into a
// new file at path (CREATE_NEW: a file already there fails the download and
// stays), through WinINet with its own certificate checks and nothing relaxed;
// an http URL may redirect to https, never the reverse. True only for HTTP
// status 200 with the whole body written within deadlineMs; otherwise the file
// is removed again, and log has a line naming the step that failed with its
// Windows error (or the status). Bodies over kInstallerSizeCap are refused.
constexpr unsigned long kDownloadDeadlineMs = 10 * 60 * 1000;
bool DownloadToFile(const std::string& url, const std::string& path, DiagnosticLog& log,
                    unsigned long deadlineMs = kDownloadDeadlineMs);
constexpr unsigned long long kInstallerSizeCap = 64ull * 1024 * 1024;

// The downloaded installer opened for reading, with others allowed to read it
// only (no writer, no rename or delete while it is open), and its verdict:
// CheckSignedLike(file, path, <the running program>) through that handle.
// No handle when it cannot be opened (verdict CheckUnavailable); when the
// signature libraries cannot be had, log says which step failed.
struct HeldInstaller {
    UniqueFile file;
    InstallerCheck verdict = InstallerCheck::CheckUnavailable;
};
HeldInstaller OpenAndCheck(const std::string& path, DiagnosticLog& log);

// DeleteFileW; a file already gone is fine.
void RemoveFile(const std::string& path);

// CreateProcessW of the file itself, no arguments, in its own folder, shown
// normally; true when it started. Called while the caller holds the file.
bool StartInstaller(const std::string& file);

}  // namespace kov
