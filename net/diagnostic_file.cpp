#include "net/diagnostic_file.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "core/diagnostic_lines.h"
#include "net/win_handle.h"

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
std::string Utf8Line(const std::string& text) {
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
    const FileHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
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
void Append(const WideString& path, std::uint64_t bound, const std::deque<std::string>& lines) {
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
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> queue;
    std::uint64_t dropped = 0;
    // Lines handed to the disk (or given up) and queued so far.
    std::uint64_t done = 0;
    std::uint64_t queued = 0;
    bool closed = false;
};

void DiagnosticFile::Serve(const std::shared_ptr<Shared>& shared) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return !shared->queue.empty() || shared->closed; });
        if (shared->queue.empty()) return;
        std::deque<std::string> batch;
        batch.swap(shared->queue);
        const std::size_t taken = batch.size();
        if (shared->dropped != 0) batch.push_front(Utf8Line(DroppedLinesLine(shared->dropped)));
        shared->dropped = 0;
        lock.unlock();
        Append(shared->path, shared->bound, batch);
        lock.lock();
        shared->done += taken;
        shared->changed.notify_all();
    }
}

std::shared_ptr<DiagnosticFile> DiagnosticFile::Open(const WideString& path, std::uint64_t bound) {
    auto shared = std::make_shared<Shared>();
    shared->path = ExtendedLengthPath(path);
    shared->bound = bound;
    try {
        std::thread([shared] { Serve(shared); }).detach();
    } catch (const std::system_error&) {
        return nullptr;
    }
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

void DiagnosticFile::Write(const std::string& line) {
    std::string utf8 = Utf8Line(line);
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->queue.size() >= kQueuedLinesLimit) {
        ++shared_->dropped;
        return;
    }
    shared_->queue.push_back(std::move(utf8));
    ++shared_->queued;
    shared_->changed.notify_all();
}

bool DiagnosticFile::Flush(DWORD waitMs) {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    const std::uint64_t target = shared_->queued;
    return shared_->changed.wait_for(lock, std::chrono::milliseconds(waitMs),
                                     [&] { return shared_->done >= target; });
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
