#include "net/update_download.h"

#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/diagnostic_lines.h"
#include "core/texts.h"
#include "winsupport/handles.h"
#include "net/installer_signature.h"
#include "net/signature_api.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

constexpr wchar_t kUserAgent[] = L"Kovarentis";
// Fresh from the origin server, never into the cache, no dialogs, no cookies
// and no Windows credentials offered to whoever serves the file. No security
// flag is relaxed: an unknown authority or a wrong host name fails.
constexpr DWORD kDownloadFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                 INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES |
                                 INTERNET_FLAG_NO_AUTH;
static_assert(kDownloadFlags == 0x840C0300, "download flag word");
constexpr DWORD kHttpOk = 200;
constexpr DWORD kTimeoutMs = 60000;
constexpr DWORD kChunkSize = 64 * 1024;

std::optional<WideString> TemporaryDirectory() {
    WideString buffer(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length + 1);
    }
}

// One line for the step that failed, with the Windows error it left (WinINet's
// included), read before anything else can change it; always false.
bool StepFailed(DiagnosticLog& log, const char* step) {
    const DWORD error = ::GetLastError();
    LogLine what;
    what << "update download: " << step;
    log.Write(WindowsFailureLine(what, error));
    return false;
}

// A failure without a Windows error; always false.
bool Refused(DiagnosticLog& log, std::string_view line) {
    log.Write(line);
    return false;
}

bool StatusIsOk(HINTERNET request, DiagnosticLog& log) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return StepFailed(log, "HttpQueryInfo (status)");
    return status == kHttpOk || Refused(log, DownloadStatusLine(status));
}

// The length the server announced; none without a Content-Length header.
std::optional<unsigned long long> AnnouncedLength(HINTERNET request) {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
    unsigned long long length = 0;
    const wchar_t* digit = text;
    for (; *digit >= L'0' && *digit <= L'9' && length <= kInstallerSizeCap; ++digit)
        length = length * 10 + static_cast<unsigned>(*digit - L'0');
    if (digit == text || *digit != L'\0') return std::nullopt;
    return length;
}

void SetTimeouts(HINTERNET handle) {
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD timeout = kTimeoutMs;
        ::InternetSetOptionW(handle, option, &timeout, sizeof timeout);
    }
}

// The whole body into the file; false on a read or write failure, when the
// body grows past the cap, or when the connection ends before the announced
// length (WinINet reports such an end as a normal one).
bool CopyBody(HINTERNET request, HANDLE file, DiagnosticLog& log) {
    const std::optional<unsigned long long> announced = AnnouncedLength(request);
    if (announced && *announced > kInstallerSizeCap) return Refused(log, DownloadTooLargeLine());
    std::vector<char> chunk(kChunkSize);
    unsigned long long total = 0;
    for (;;) {
        DWORD got = 0;
        if (!::InternetReadFile(request, chunk.data(), kChunkSize, &got)) return StepFailed(log, "InternetReadFile");
        if (got == 0) {
            // Both at most the cap, so within 32 bits.
            return !announced || total == *announced ||
                   Refused(log, DownloadLengthLine(static_cast<std::uint32_t>(total),
                                                   static_cast<std::uint32_t>(*announced)));
        }
        total += got;
        if (total > kInstallerSizeCap) return Refused(log, DownloadTooLargeLine());
        DWORD written = 0;
        if (!::WriteFile(file, chunk.data(), got, &written, nullptr) || written != got)
            return StepFailed(log, "WriteFile");
    }
}

bool Fetch(const WideString& url, const WideString& path, DiagnosticLog& log) {
    const UniqueInternet session(::InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return StepFailed(log, "InternetOpen");
    SetTimeouts(session.Get());
    const UniqueInternet request(::InternetOpenUrlW(session.Get(), url.c_str(), nullptr, 0, kDownloadFlags, 0));
    if (!request) return StepFailed(log, "InternetOpenUrl");
    if (!StatusIsOk(request.Get(), log)) return false;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file) return StepFailed(log, "CreateFile");
    const bool copied = CopyBody(request.Get(), file.Get(), log);
    // A deferred write fails only at the close.
    return file.Reset() ? copied : StepFailed(log, "CloseHandle");
}

}  // namespace

std::optional<std::string> InstallerPath() {
    const std::optional<WideString> directory = TemporaryDirectory();
    if (!directory) return std::nullopt;
    return Utf8FromWide(*directory + WideFromUtf8(kInstallerFileName));
}

bool DownloadToFile(const std::string& url, const std::string& path, DiagnosticLog& log) {
    const WideString widePath = ExtendedLengthPath(WideFromUtf8(path));
    if (Fetch(WideFrom1251(url), widePath, log)) return true;
    ::DeleteFileW(widePath.c_str());
    return false;
}

InstallerCheck CheckAgainstRunningAgent(const std::string& path, DiagnosticLog& log) {
    LogLoadFailure(SystemSignatureLoad(), log);
    const std::optional<WideString> agent = ModuleFilePath(nullptr);
    if (!agent) return InstallerCheck::AgentUnsigned;
    return CheckSignedLike(path, Utf8FromWide(*agent));
}

void RemoveFile(const std::string& path) { ::DeleteFileW(ExtendedLengthPath(WideFromUtf8(path)).c_str()); }

bool OpenWithShell(const std::string& file) {
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", WideFromUtf8(file).c_str(), L"", L"", SW_SHOW));
    return result > 32;
}

}  // namespace kov
