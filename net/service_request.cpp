#include "net/service_request.h"

#include <algorithm>
#include <utility>

#include "core/diagnostic_lines.h"
#include "core/wipe.h"
#include "net/without_server_logon.h"
#include "winsupport/handles.h"

namespace kov {
namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
constexpr char kContentTypeLine[] = "Content-Type: application/x-www-form-urlencoded";
constexpr char kHttpsScheme[] = "https://";
constexpr char kHttpScheme[] = "http://";
constexpr INTERNET_PORT kHttpsPort = 443;
constexpr INTERNET_PORT kHttpPort = 80;

// Always from the origin server, redirects between the schemes followed, no UI,
// and never written to the URL cache on disk: the query carries the password
// digest and the token. No Windows logon goes to the server (see
// WithoutServerLogon): a spoofed redirect to an intranet name would
// otherwise get the consultant's NTLM credentials on every poll.
constexpr DWORD kHttpRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
    INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
static_assert(kHttpRequestFlags == 0x8400C300, "plain request flag word");

// The same over TLS, with expired certificates accepted. The two low bits are
// FTP transfer-type bits that the agent has always sent; HTTP ignores them.
constexpr DWORD kFtpTransferBits = 0x00000005;
constexpr DWORD kHttpsRequestFlags =
    kHttpRequestFlags | INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
    INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_HYPERLINK | kFtpTransferBits;
static_assert(kHttpsRequestFlags == 0x8480EF05, "TLS request flag word");

constexpr DWORD kReadChunkSize = 1024;
// A sane answer is a few dozen bytes; a runaway one must not eat the memory.
constexpr std::size_t kResultCap = 64 * 1024;

struct RequestText {
    std::string server;
    std::string path;
    std::string body;
    std::string headers;
};

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Extra header lines, then the form content type; no line end after it.
std::string HeaderText(const std::string& headers) {
    return headers.empty() ? std::string(kContentTypeLine) : headers + "\n" + kContentTypeLine;
}

bool Send(HINTERNET request, const std::string& headerText, std::string& body) {
    return HttpSendRequestA(request, headerText.c_str(), static_cast<DWORD>(headerText.size()),
                            body.data(), static_cast<DWORD>(body.size())) != FALSE;
}

// Lets this one request accept a certificate from an authority the system
// does not trust.
void TrustUnknownAuthority(HINTERNET request) {
    DWORD flags = 0;
    DWORD length = sizeof(flags);
    if (!InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length)) {
        // Nothing readable to keep: the retry asks for the one relaxation alone.
        flags = 0;
    }
    flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof(flags));
}

// Strict first; a server that has passed the strict check once is remembered.
// An unknown authority is then retried with that check off, unless the server
// has passed before: then whoever answers is not that server. The failing
// call's error stays the thread's last one.
bool SendOverTls(HINTERNET request, const std::string& headerText, std::string& body,
                 const std::string& host, const TrustedServers& trusted) {
    if (Send(request, headerText, body)) {
        if (!trusted.Known(host)) trusted.Remember(host);
        return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNET_INVALID_CA || trusted.Known(host)) {
        SetLastError(error);
        return false;
    }
    TrustUnknownAuthority(request);
    return Send(request, headerText, body);
}

// Each chunk is text: a zero byte ends it and the rest of that chunk is lost.
std::string ReadBody(HINTERNET request) {
    std::string result;
    char chunk[kReadChunkSize];
    DWORD count = 0;
    do {
        if (!InternetReadFile(request, chunk, kReadChunkSize, &count)) {
            break;
        }
        result.append(chunk, std::find(chunk, chunk + count, '\0'));
        if (result.size() >= kResultCap) {
            result.resize(kResultCap);
            break;
        }
    } while (count != 0);
    return result;
}

// "" with the error of the WinINet call that failed.
std::string Failed(DWORD& error) {
    error = GetLastError();
    return {};
}

std::string PerformRequest(HINTERNET internet, RequestText& text, const TrustedServers& trusted,
                           WithoutServerLogon& withoutLogon, DWORD& error) {
    const ServiceEndpoint endpoint = SplitServerText(text.server);
    // Declared in opening order, so closed request, then connection.
    UniqueInternet connection(InternetConnectA(internet, endpoint.host.c_str(), endpoint.port,
                                               nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        return Failed(error);
    }
    const bool tls = endpoint.port == kHttpsPort;
    const UniqueInternet request = withoutLogon.OpenRequest(
        [&](DWORD flags) {
            return HttpOpenRequestA(connection.Get(), "GET", text.path.c_str(), "HTTP/1.0", "", nullptr, flags, 0);
        },
        tls ? kHttpsRequestFlags : kHttpRequestFlags);
    if (!request) {
        return Failed(error);
    }
    const std::string headerText = HeaderText(text.headers);
    const bool sent = tls ? SendOverTls(request.Get(), headerText, text.body, endpoint.host, trusted)
                          : Send(request.Get(), headerText, text.body);
    if (!sent) {
        return Failed(error);
    }
    return ReadBody(request.Get());
}

// The exchange and its line in the diagnostic log: the length of the reply
// or the WinINet error, and the time taken. Never the path: its query
// carries the password digest or the token.
std::string LoggedExchange(HINTERNET internet, RequestText& text, const TrustedServers& trusted,
                           WithoutServerLogon& withoutLogon, DiagnosticLog& log) {
    // Wraps every 49 days; the unsigned difference does not mind.
    const DWORD start = GetTickCount();
    ExchangeFacts facts;
    facts.host = SplitServerText(text.server).host;
    DWORD error = internet ? 0 : GetLastError();
    std::string reply = internet ? PerformRequest(internet, text, trusted, withoutLogon, error) : std::string();
    facts.replied = internet && error == 0;
    facts.replyBytes = static_cast<std::uint32_t>(reply.size());
    facts.error = error;
    facts.elapsedMs = GetTickCount() - start;
    log.Write(ExchangeLine(facts));
    return reply;
}

}  // namespace

ServiceEndpoint SplitServerText(const std::string& server) {
    if (StartsWith(server, kHttpsScheme)) {
        return {server.substr(std::char_traits<char>::length(kHttpsScheme)), kHttpsPort};
    }
    if (StartsWith(server, kHttpScheme)) {
        return {server.substr(std::char_traits<char>::length(kHttpScheme)), kHttpPort};
    }
    return {server, kHttpPort};
}

// The internet handle that every exchange connects through, opened by the
// first one that needs it (opening it is dear; one that failed is retried by
// the next exchange).
HINTERNET ServiceRequester::Internet() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!internet_) {
        internet_ = UniqueInternet(
            InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    }
    return internet_.Get();
}

ServiceRequester::ServiceRequester(TrustedServers trusted, std::shared_ptr<DiagnosticLog> log)
    : trusted_(std::move(trusted)), log_(log ? std::move(log) : std::make_shared<NoDiagnosticLog>()) {}

ServiceRequester::~ServiceRequester() = default;

// The exchange runs on the caller's thread: a second thread to wait on would
// cost the agent a thread per request in flight. An abort cannot end a call
// that WinINet has blocked (under Wine closing its handle does not), so the
// caller keeps it to the end and its reply is dropped.
std::string ServiceRequester::ServiceRequest(std::string server, std::string path,
                                             std::string body, std::string headers) {
    if (aborted_.load()) {
        return {};
    }
    RequestText text{std::move(server), std::move(path), std::move(body), std::move(headers)};
    std::string reply = LoggedExchange(Internet(), text, trusted_, withoutServerLogon_, *log_);
    // Its query carries the password digest or the token.
    WipeText(text.path);
    return aborted_.load() ? std::string() : reply;
}

void ServiceRequester::Abort() {
    aborted_.store(true);
}

}  // namespace kov
