#pragma once
// The agent's one road to the service: a blocking HTTP GET through WinINet
// that returns the response body, or "" when anything on the way fails.
// Each exchange runs on a pool worker while its caller waits, so that Abort
// can release the caller; one internet session serves every exchange of the
// requester and lives until the last of them has ended. Each exchange writes
// one line to the diagnostic log from its worker: the host, the reply's
// length or the WinINet error, and the time taken.
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "core/diagnostic_log.h"
#include "core/transport.h"
#include "core/worker_pool.h"

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
    // Exchanges run on workers; without a pool the requester makes its own.
    // Each exchange writes its outcome and time to the log, when there is one.
    explicit ServiceRequester(std::shared_ptr<WorkerPool> workers = nullptr,
                              std::shared_ptr<DiagnosticLog> log = nullptr);
    ~ServiceRequester() override;
    ServiceRequester(const ServiceRequester&) = delete;
    ServiceRequester& operator=(const ServiceRequester&) = delete;

    // The result holds at most 64 KiB: the rest of a larger answer is not read.
    std::string ServiceRequest(std::string server, std::string path,
                               std::string body, std::string headers) override;

    // Callable from any thread: every request in flight returns "" at once,
    // and so does every later one.
    void Abort() override;

private:
    class PendingReply;
    class Session;

    const std::shared_ptr<WorkerPool> workers_;
    const std::shared_ptr<Session> session_;
    const std::shared_ptr<DiagnosticLog> log_;
    std::mutex mutex_;
    bool aborted_ = false;
    std::set<std::shared_ptr<PendingReply>> inFlight_;
};

}  // namespace kov
