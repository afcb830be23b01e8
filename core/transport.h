#pragma once
// One blocking request to the service; the empty text on any failure.
#include <string>

namespace kov {

class Transport {
public:
    virtual ~Transport() = default;
    virtual std::string ServiceRequest(std::string server, std::string path,
                                       std::string body, std::string headers) = 0;
};

// The service transport as the agent holds it: requests still running when the
// agent closes are ended from the closing thread instead of being waited for.
class AgentTransport : public Transport {
public:
    // Makes running ServiceRequest calls return "" soon and later ones at once.
    // Called from any thread, while requests run.
    virtual void Abort() = 0;
};

}  // namespace kov
