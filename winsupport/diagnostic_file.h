#pragma once
// The diagnostic log on disk: UTF-8 lines, CR LF, in one file per user, kept
// under a bound by moving a full file to "<name>.1" (one previous file kept).
// Write stamps a line on the caller's thread and queues it; one writer
// thread, started with the log and holding the queue's shared state, takes the
// lines to the disk, so no caller waits for it. When the queue is full, lines
// are dropped and counted; a file that cannot be written loses its lines
// silently: the agent never fails because of its log. The file is opened for
// each batch and closed after it, so support can copy it while the agent runs.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/diagnostic_log.h"
#include "winsupport/wide_text.h"

namespace kov {

class DiagnosticFile final : public DiagnosticLog {
public:
    static constexpr std::uint64_t kDefaultBound = 256 * 1024;
    static constexpr std::size_t kQueuedLinesLimit = 512;

    // Starts the writer; none when it cannot be started. Nothing touches the
    // disk before the first line. `path` is the file's full path.
    static std::shared_ptr<DiagnosticFile> Open(const WideString& path, std::uint64_t bound = kDefaultBound);
    // Flushes for at most a second; the writer ends once the queue is empty.
    ~DiagnosticFile() override;
    DiagnosticFile(const DiagnosticFile&) = delete;
    DiagnosticFile& operator=(const DiagnosticFile&) = delete;

    void Write(std::string_view line) override;
    // Waits until no line waits to be written (each written or given up), at
    // most waitMs; true when none does.
    bool Flush(DWORD waitMs);

private:
    struct Shared;
    explicit DiagnosticFile(std::shared_ptr<Shared> shared);
    // The writer: batches of queued lines until the log is closed and drained.
    static void Serve(Shared& shared);
    static DWORD WINAPI Writer(LPVOID sharedCopy);

    std::shared_ptr<Shared> shared_;
};

// "%LOCALAPPDATA%\Kovarentis\agent.log", its folder made when missing; none
// when Windows names no local application data folder (or one of MAX_PATH
// characters or more).
std::optional<WideString> DiagnosticFilePath();

}  // namespace kov
