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

}  // namespace kov
