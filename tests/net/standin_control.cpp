#include <winsock2.h>

#include "standin_control.h"

#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

namespace kov::test {
namespace {

constexpr std::size_t kMaxAnswer = 32u << 20;
constexpr DWORD kReceiveTimeoutMs = 10000;

class Socket {
public:
    explicit Socket(SOCKET handle) : handle_(handle) {}
    ~Socket() {
        if (handle_ != INVALID_SOCKET) {
            closesocket(handle_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_SOCKET; }

private:
    SOCKET handle_;
};

bool SendAll(SOCKET socket, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const int count = send(socket, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (count <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

std::string ReceiveAll(SOCKET socket) {
    std::string data;
    char buffer[16384];
    while (data.size() < kMaxAnswer) {
        const int count = recv(socket, buffer, sizeof(buffer), 0);
        if (count <= 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(count));
    }
    return data;
}

ControlAnswer ParseAnswer(const std::string& raw) {
    ControlAnswer answer;
    const std::size_t headEnd = raw.find("\r\n\r\n");
    const std::size_t space = raw.find(' ');
    if (headEnd == std::string::npos || space == std::string::npos) {
        return answer;
    }
    answer.status = std::atoi(raw.c_str() + space + 1);
    answer.headers = raw.substr(0, headEnd + 2);
    answer.body = raw.substr(headEnd + 4);
    return answer;
}

std::string HeaderValue(const std::string& headers, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    const std::size_t start = headers.find(key);
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t valueStart = start + key.size();
    return headers.substr(valueStart, headers.find("\r\n", valueStart) - valueStart);
}

unsigned short ControlPort() {
    const char* text = std::getenv("KOV_STANDIN_CONTROL_PORT");
    return static_cast<unsigned short>(text != nullptr ? std::atoi(text) : 8765);
}

}  // namespace

StandinControl::StandinControl() : port_(ControlPort()) {
    WSADATA data;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

StandinControl::~StandinControl() {
    if (winsockStarted_) {
        WSACleanup();
    }
}

ControlAnswer StandinControl::Exchange(const std::string& method, const std::string& target,
                                       const std::string& body) {
    Socket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!winsockStarted_ || !socket.Valid()) {
        return {};
    }
    DWORD timeout = kReceiveTimeoutMs;
    setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        return {};
    }
    const std::string request = method + " " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" +
                                "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                                body;
    if (!SendAll(socket.Get(), request)) {
        return {};
    }
    return ParseAnswer(ReceiveAll(socket.Get()));
}

bool StandinControl::Reset() {
    return Exchange("POST", "/control/reset").status == 200;
}

bool StandinControl::Queue(const std::string& kind, const std::string& body,
                           const std::string& parameters) {
    std::string target = "/control/reply?kind=" + kind;
    if (!parameters.empty()) {
        target += "&" + parameters;
    }
    return Exchange("POST", target, body).status == 200;
}

int StandinControl::LogSize() {
    const ControlAnswer answer = Exchange("GET", "/control/log");
    return answer.status == 200 ? std::atoi(answer.body.c_str()) : -1;
}

std::string StandinControl::LoggedRequest(int index) {
    return Exchange("GET", "/control/log/" + std::to_string(index)).body;
}

std::string StandinControl::LoggedEndpoint(int index) {
    const ControlAnswer answer = Exchange("GET", "/control/log/" + std::to_string(index));
    return HeaderValue(answer.headers, "X-Standin-Endpoint");
}

int StandinControl::Connections(const std::string& endpoint) {
    const ControlAnswer answer = Exchange("GET", "/control/connections?endpoint=" + endpoint);
    return answer.status == 200 ? std::atoi(answer.body.c_str()) : -1;
}

bool StandinControl::AwaitLogSize(int count) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (LogSize() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

}  // namespace kov::test
