#include "winsupport/diagnostic_file.h"

#include <condition_variable>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "core/diagnostic_lines.h"
#include "winsupport/handles.h"

namespace kov {
namespace {

// Shutdown waits no longer than this for a slow disk.
constexpr DWORD kCloseFlushWaitMs = 1000;
constexpr wchar_t kPreviousSuffix[] = L".1";
constexpr wchar_t kFolderName[] = L"\\Kovarentis";
constexpr wchar_t kFileName[] = L"\\agent.log";

LineStamp StampNow() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,          now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds, ::GetCurrentThreadId()};
}

// One stamped line as UTF-8 with its line end.
std::string Utf8Line(std::string_view text) {
    return Utf8FromWide(WideFrom1251(StampedLine(StampNow(), text))) + "\r\n";
}

// 0 for a file that is not there (or cannot be looked at).
std::uint64_t FileSize(const WideString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void AppendBytes(const WideString& path, const std::string& bytes) {
    if (bytes.empty()) return;
    const UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The file that `path` names gets the previous one's name.
void Rotate(const WideString& path) {
    const WideString previous = path + kPreviousSuffix;
    ::MoveFileExW(path.c_str(), previous.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Appends the lines; one that would take the file past the bound goes to a new
// file, the full one becoming the previous. Failures are ignored: the lines
// are lost, the agent goes on.
void Append(const WideString& path, std::uint64_t bound, const std::vector<std::string>& lines) {
    std::uint64_t fileBytes = FileSize(path);
    std::string pending;
    for (const std::string& line : lines) {
        if (fileBytes != 0 && fileBytes + line.size() > bound) {
            AppendBytes(path, pending);
            pending.clear();
            Rotate(path);
            fileBytes = 0;
        }
        pending += line;
        fileBytes += line.size();
    }
    AppendBytes(path, pending);
}

}  // namespace

struct DiagnosticFile::Shared {
    WideString path;
    std::uint64_t bound = 0;
    // Set while nothing waits to be written: what Flush waits for (a Windows
    // event, so that the wait has a time-out without a clock library).
    UniqueHandle drained{::CreateEventW(nullptr, TRUE, TRUE, nullptr)};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> queue;
    std::uint32_t dropped = 0;
    bool closed = false;
};

void DiagnosticFile::Serve(Shared& shared) {
    std::unique_lock<std::mutex> lock(shared.mutex);
    for (;;) {
        shared.changed.wait(lock, [&] { return !shared.queue.empty() || shared.closed; });
        if (shared.queue.empty()) return;
        std::vector<std::string> batch;
        batch.swap(shared.queue);
        const std::uint32_t dropped = shared.dropped;
        shared.dropped = 0;
        lock.unlock();
        if (dropped != 0) Append(shared.path, shared.bound, {Utf8Line(DroppedLinesLine(dropped))});
        Append(shared.path, shared.bound, batch);
        lock.lock();
        if (shared.queue.empty()) ::SetEvent(shared.drained.Get());
    }
}

// The thread holds the shared state through a copy of its own, so the log may
// go while a slow disk still keeps the writer.
DWORD WINAPI DiagnosticFile::Writer(LPVOID sharedCopy) {
    const std::unique_ptr<std::shared_ptr<Shared>> shared(static_cast<std::shared_ptr<Shared>*>(sharedCopy));
    Serve(**shared);
    return 0;
}

std::shared_ptr<DiagnosticFile> DiagnosticFile::Open(const WideString& path, std::uint64_t bound) {
    auto shared = std::make_shared<Shared>();
    if (!shared->drained) return nullptr;
    shared->path = ExtendedLengthPath(path);
    shared->bound = bound;
    auto writerCopy = std::make_unique<std::shared_ptr<Shared>>(shared);
    const UniqueHandle writer(::CreateThread(nullptr, 0, &Writer, writerCopy.get(), 0, nullptr));
    if (!writer) return nullptr;
    writerCopy.release();  // the writer's own now
    return std::shared_ptr<DiagnosticFile>(new DiagnosticFile(std::move(shared)));
}

DiagnosticFile::DiagnosticFile(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

DiagnosticFile::~DiagnosticFile() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->closed = true;
        shared_->changed.notify_all();
    }
    Flush(kCloseFlushWaitMs);
}

void DiagnosticFile::Write(std::string_view line) {
    std::string utf8 = Utf8Line(line);
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->queue.size() >= kQueuedLinesLimit) {
        ++shared_->dropped;
        return;
    }
    shared_->queue.push_back(std::move(utf8));
    ::ResetEvent(shared_->drained.Get());
    shared_->changed.notify_all();
}

bool DiagnosticFile::Flush(DWORD waitMs) {
    return ::WaitForSingleObject(shared_->drained.Get(), waitMs) == WAIT_OBJECT_0;
}

std::optional<WideString> DiagnosticFilePath() {
    wchar_t folder[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    WideString path(folder, length);
    path += kFolderName;
    ::CreateDirectoryW(ExtendedLengthPath(path).c_str(), nullptr);
    return path + kFileName;
}

}  // namespace kov
