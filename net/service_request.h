#pragma once
// The agent's one road to the service: a blocking HTTP GET through WinINet
// that returns the response body, or "" when anything on the way fails.
// Each exchange runs on its caller's thread and writes one line to the
// diagnostic log: the host, the reply's length or the WinINet error, and the
// time taken. One internet session serves every exchange of the requester
// and lives as long as the requester, which its callers keep alive while
// they call it. Over TLS a server whose certificate Windows has once trusted
// is remembered (TrustedServers) and never again accepted with an unknown
// authority.
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "core/diagnostic_log.h"
#include "core/transport.h"
#include "net/trusted_servers.h"
#include "net/without_server_logon.h"
#include "winsupport/handles.h"

namespace kov {

// Where a server text leads: "https://" (case-sensitive) selects TLS on 443,
// "http://" or no scheme plain HTTP on 80. The host is the rest, used whole:
// a port or path written after it is not split off.
struct ServiceEndpoint {
    std::string host;
    INTERNET_PORT port = 80;
};
ServiceEndpoint SplitServerText(const std::string& server);

class ServiceRequester final : public AgentTransport {
public:
    // Each exchange writes its outcome and time to the log, when there is one.
    explicit ServiceRequester(TrustedServers trusted, std::shared_ptr<DiagnosticLog> log = nullptr);
    ~ServiceRequester() override;
    ServiceRequester(const ServiceRequester&) = delete;
    ServiceRequester& operator=(const ServiceRequester&) = delete;

    // The result holds at most 64 KiB: the rest of a larger answer is not read.
    std::string ServiceRequest(std::string server, std::string path,
                               std::string body, std::string headers) override;

    // Callable from any thread: every later request returns "" at once
    // without reaching the server; one in flight runs to its end on its
    // caller's thread and returns "".
    void Abort() override;

private:
    HINTERNET Internet();

    const TrustedServers trusted_;
    const std::shared_ptr<DiagnosticLog> log_;
    std::atomic<bool> aborted_{false};
    std::mutex mutex_;  // guards internet_
    UniqueInternet internet_;
    WithoutServerLogon withoutServerLogon_;
};

}  // namespace kov
