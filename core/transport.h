#pragma once
// One blocking request to the service, as a worker makes it; the empty text
// on any failure.
#include <string>

namespace kov {

class Transport {
public:
    virtual ~Transport() = default;
    virtual std::string ServiceRequest(std::string server, std::string path,
                                       std::string body, std::string headers) = 0;
};

// The service transport as the agent's workers share it: when the agent
// closes, no further request leaves, and those still running are not waited
// for.
class AgentTransport : public Transport {
public:
    // Makes later ServiceRequest calls return "" at once; running ones return
    // "" when they end, which may be only when the server lets them. Called
    // from any thread, while requests run.
    virtual void Abort() = 0;
};

}  // namespace kov
