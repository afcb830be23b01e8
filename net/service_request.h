#pragma once
// The agent's one road to the service: a blocking HTTP GET through WinINet
// that returns the response body, or "" when anything on the way fails.
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "core/transport.h"

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
    ServiceRequester();
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

    std::mutex mutex_;
    bool aborted_ = false;
    std::set<std::shared_ptr<PendingReply>> inFlight_;
};

}  // namespace kov
