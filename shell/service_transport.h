#pragma once
// The service requester as the agent core holds it.
#include <memory>
#include <string>
#include <utility>

#include "core/platform.h"
#include "net/service_request.h"

namespace kov {

class ServiceTransport final : public AgentTransport {
public:
    explicit ServiceTransport(std::shared_ptr<DiagnosticLog> log) : requester_(std::move(log)) {}

    std::string ServiceRequest(std::string server, std::string path, std::string body,
                               std::string headers) override {
        return requester_.ServiceRequest(std::move(server), std::move(path), std::move(body),
                                         std::move(headers));
    }
    void Abort() override { requester_.Abort(); }

private:
    ServiceRequester requester_;
};

}  // namespace kov
