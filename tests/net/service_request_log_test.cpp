// What the requester writes to the diagnostic log for each exchange: the
// reply's length or the WinINet error, and the time, never the path (its query
// carries the digest or the token).
#include "net/service_request.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kov {
namespace {

class LinesLog final : public DiagnosticLog {
public:
    void Write(std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

constexpr char kPath[] = "newmessages?do=get&status=0&login=ivan&token=tok-secret";

TEST(ServiceRequestLog, AnUnreachableServerGivesTheWinInetErrorAndTheTime) {
    const auto log = std::make_shared<LinesLog>();
    {
        ServiceRequester requester(TrustedServers("Software\\Kovarentis tests\\TrustedServers"), log);
        // Nothing listens on this loopback address.
        EXPECT_EQ(requester.ServiceRequest("http://127.0.0.9", kPath, "", ""), "");
    }
    const std::vector<std::string> lines = log->Lines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string expected = "request to \"127.0.0.9\": failed, WinINet error " +
                                 std::to_string(ERROR_INTERNET_CANNOT_CONNECT) + " in ";
    EXPECT_EQ(lines[0].rfind(expected, 0), 0u) << lines[0];
    EXPECT_EQ(lines[0].substr(lines[0].size() - 3), " ms") << lines[0];
    EXPECT_EQ(lines[0].find("tok-secret"), std::string::npos);
}

TEST(ServiceRequestLog, AReplyGivesItsLengthAndNeverThePath) {
    const auto log = std::make_shared<LinesLog>();
    std::string reply;
    {
        ServiceRequester requester(TrustedServers("Software\\Kovarentis tests\\TrustedServers"), log);
        reply = requester.ServiceRequest("http://127.0.0.1", kPath, "", "");
    }
    ASSERT_FALSE(reply.empty()) << "the stand-in service answers on 127.0.0.1:80";
    const std::vector<std::string> lines = log->Lines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string expected =
        "request to \"127.0.0.1\": reply of " + std::to_string(reply.size()) + " bytes in ";
    EXPECT_EQ(lines[0].rfind(expected, 0), 0u) << lines[0];
    EXPECT_EQ(lines[0].find("tok-secret"), std::string::npos);
    EXPECT_EQ(lines[0].find("login"), std::string::npos);
}

}  // namespace
}  // namespace kov
