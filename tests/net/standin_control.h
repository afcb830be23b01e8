#pragma once
// Talks to the stand-in service's control interface over plain Winsock, so
// that scripting the server never depends on the WinINet code under test.
#include <string>

namespace kov::test {

struct ControlAnswer {
    int status = 0;  // 0 when the control interface could not be reached
    std::string headers;
    std::string body;
};

class StandinControl {
public:
    // The port comes from KOV_STANDIN_CONTROL_PORT, default 8765.
    StandinControl();
    ~StandinControl();
    StandinControl(const StandinControl&) = delete;
    StandinControl& operator=(const StandinControl&) = delete;

    ControlAnswer Exchange(const std::string& method, const std::string& target,
                           const std::string& body = std::string());

    bool Reset();
    // Queues a reply for requests of `kind` (login, get, probe, other);
    // parameters as the control interface takes them, e.g. "status=404&hang=5".
    bool Queue(const std::string& kind, const std::string& body,
               const std::string& parameters = std::string());
    // -1 when the control interface does not answer.
    int LogSize();
    // Request line, headers and body of logged request `index`, as received.
    std::string LoggedRequest(int index);
    // "ADDR:PORT" of the endpoint that received logged request `index`.
    std::string LoggedEndpoint(int index);
    int Connections(const std::string& endpoint);
    // Polls until `count` requests are logged; false after about five seconds.
    bool AwaitLogSize(int count);

private:
    bool winsockStarted_ = false;
    unsigned short port_ = 8765;
};

}  // namespace kov::test
