#include "net/update_download.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/diagnostic_lines.h"
#include "winsupport/handles.h"
#include "net/installer_signature.h"
#include "net/signature_api.h"
#include "net/without_server_logon.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

constexpr wchar_t kUserAgent[] = L"Kovarentis";
// Fresh from the origin server, never into the cache, no dialogs, no cookies
// and no Windows credentials offered to whoever serves the file (see
// WithoutServerLogon). No security flag is relaxed: an unknown authority
// or a wrong host name fails. A redirect from http to https is followed (most
// download links are such); one from https to http is not.
constexpr DWORD kDownloadFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                 INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES |
                                 INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
constexpr DWORD kHttpOk = 200;
constexpr DWORD kTimeoutMs = 60000;
constexpr DWORD kChunkSize = 64 * 1024;

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

// The length the server announced, any number of digits, one past the cap
// for anything larger; none without a Content-Length header of digits.
std::optional<unsigned long long> AnnouncedLength(HINTERNET request) {
    wchar_t text[64] = {};
    DWORD size = sizeof text;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
    unsigned long long length = 0;
    const wchar_t* digit = text;
    for (; *digit >= L'0' && *digit <= L'9'; ++digit)
        length = std::min(length * 10 + static_cast<unsigned>(*digit - L'0'), kInstallerSizeCap + 1);
    if (digit == text || *digit != L'\0') return std::nullopt;
    return length;
}

bool IsHttps(const wchar_t* url) {
    constexpr wchar_t kScheme[] = L"https:";
    for (std::size_t i = 0; i + 1 < sizeof kScheme / sizeof *kScheme; ++i) {
        const wchar_t c = url[i] >= L'A' && url[i] <= L'Z' ? static_cast<wchar_t>(url[i] - L'A' + L'a') : url[i];
        if (c != kScheme[i]) return false;
    }
    return true;
}

// WinINet on Windows refuses a redirect from https to http; Wine follows it,
// so where the request ended is checked as well.
bool StayedOnHttps(const WideString& url, HINTERNET request, DiagnosticLog& log) {
    if (!IsHttps(url.c_str())) return true;
    std::vector<wchar_t> landed(INTERNET_MAX_URL_LENGTH + 1, L'\0');
    DWORD size = static_cast<DWORD>((landed.size() - 1) * sizeof(wchar_t));
    if (!::InternetQueryOptionW(request, INTERNET_OPTION_URL, landed.data(), &size))
        return StepFailed(log, "InternetQueryOption (URL)");
    return IsHttps(landed.data()) || Refused(log, DownloadLeftHttpsLine());
}

void SetTimeouts(HINTERNET handle) {
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD timeout = kTimeoutMs;
        ::InternetSetOptionW(handle, option, &timeout, sizeof timeout);
    }
}

// At most what has already arrived (waiting for the first byte up to the
// receive time-out), so that a server dripping the body cannot hold one read
// past the deadline.
bool ReadArrived(HINTERNET request, std::vector<char>& chunk, DWORD& got, DiagnosticLog& log) {
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(request, &available, 0, 0))
        return StepFailed(log, "InternetQueryDataAvailable");
    const DWORD wanted = std::max<DWORD>(1, std::min<DWORD>(available, kChunkSize));
    return ::InternetReadFile(request, chunk.data(), wanted, &got) || StepFailed(log, "InternetReadFile");
}

// The whole body into the file; false on a read or write failure, when the
// body grows past the cap, when the connection ends before the announced
// length (WinINet reports such an end as a normal one), or at the deadline.
bool CopyBody(HINTERNET request, HANDLE file, ULONGLONG deadline, DiagnosticLog& log) {
    const std::optional<unsigned long long> announced = AnnouncedLength(request);
    if (announced && *announced > kInstallerSizeCap) return Refused(log, DownloadTooLargeLine());
    std::vector<char> chunk(kChunkSize);
    unsigned long long total = 0;
    for (;;) {
        if (::GetTickCount64() > deadline) return Refused(log, DownloadDeadlineLine());
        DWORD got = 0;
        if (!ReadArrived(request, chunk, got, log)) return false;
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

// A request and the connection it lives in (closing the connection would
// close the request): the request is closed first.
struct SentRequest {
    UniqueInternet connection;
    UniqueInternet request;
};

SentRequest NoRequest(DiagnosticLog& log, const char* step) {
    StepFailed(log, step);
    return {};
}

// The request a URL names, opened and sent as InternetOpenUrl would, but with
// the server's logon suppressed before anything is sent.
SentRequest Send(HINTERNET session, const WideString& url, DiagnosticLog& log) {
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return NoRequest(log, "InternetCrackUrl");
    const WideString host(parts.lpszHostName, parts.dwHostNameLength);
    const WideString object = WideString(parts.lpszUrlPath, parts.dwUrlPathLength) +
                              WideString(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    SentRequest sent;
    sent.connection.Reset(
        ::InternetConnectW(session, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!sent.connection) return NoRequest(log, "InternetConnect");
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0;
    sent.request = WithoutServerLogon().OpenRequest(
        [&](DWORD flags) {
            return ::HttpOpenRequestW(sent.connection.Get(), L"GET", object.c_str(), nullptr, nullptr, nullptr,
                                      flags, 0);
        },
        kDownloadFlags | secure);
    if (!sent.request) return NoRequest(log, "HttpOpenRequest");
    if (!::HttpSendRequestW(sent.request.Get(), nullptr, 0, nullptr, 0)) return NoRequest(log, "HttpSendRequest");
    return sent;
}

// The body into a file made for it (never one that was there before); the
// file is removed again when anything fails after its creation.
bool Fetch(const WideString& url, const WideString& path, DWORD deadlineMs, DiagnosticLog& log) {
    const ULONGLONG deadline = ::GetTickCount64() + deadlineMs;
    const UniqueInternet session(::InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return StepFailed(log, "InternetOpen");
    SetTimeouts(session.Get());
    const SentRequest sent = Send(session.Get(), url, log);
    const HINTERNET request = sent.request.Get();
    if (!request || !StayedOnHttps(url, request, log) || !StatusIsOk(request, log)) return false;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file) return StepFailed(log, "CreateFile");
    const bool copied = CopyBody(request, file.Get(), deadline, log);
    // A deferred write fails only at the close.
    const bool written = file.Reset() ? copied : StepFailed(log, "CloseHandle");
    if (!written) ::DeleteFileW(path.c_str());
    return written;
}

}  // namespace

bool DownloadToFile(const std::string& url, const std::string& path, DiagnosticLog& log, unsigned long deadlineMs) {
    return Fetch(WideFrom1251(url), ExtendedLengthPath(WideFromUtf8(path)), deadlineMs, log);
}

HeldInstaller OpenAndCheck(const std::string& path, DiagnosticLog& log) {
    HeldInstaller held;
    held.file.Reset(::CreateFileW(ExtendedLengthPath(WideFromUtf8(path)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held.file) {
        StepFailed(log, "CreateFile (reopening the installer)");
        return held;
    }
    LogLoadFailure(SystemSignatureLoad(), log);
    const std::optional<WideString> agent = ModuleFilePath(nullptr);
    held.verdict = agent ? CheckSignedLike(held.file.Get(), path, Utf8FromWide(*agent)) : InstallerCheck::AgentUnsigned;
    return held;
}

void RemoveFile(const std::string& path) { ::DeleteFileW(ExtendedLengthPath(WideFromUtf8(path)).c_str()); }

bool StartInstaller(const std::string& file) {
    const WideString path = WideFromUtf8(file);
    WideString commandLine = L"\"" + path + L"\"";
    const WideString folder = path.substr(0, path.find_last_of(L'\\'));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &process)) {
        return false;
    }
    const UniqueHandle thread(process.hThread);
    const UniqueHandle started(process.hProcess);
    return true;
}

}  // namespace kov
