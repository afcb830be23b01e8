// How the configured server text turns into the host and port handed to WinINet.
#include <gtest/gtest.h>

#include "net/service_request.h"

namespace kov {
namespace {

void ExpectEndpoint(const std::string& server, const std::string& host, INTERNET_PORT port) {
    const ServiceEndpoint endpoint = SplitServerText(server);
    EXPECT_EQ(endpoint.host, host) << server;
    EXPECT_EQ(endpoint.port, port) << server;
}

TEST(SplitServerText, SchemeChoosesThePortAndIsCutOff) {
    ExpectEndpoint("https://service.example", "service.example", 443);
    ExpectEndpoint("http://service.example", "service.example", 80);
    ExpectEndpoint("service.example", "service.example", 80);
}

TEST(SplitServerText, SchemeCountsOnlyInLowerCaseAtTheStart) {
    ExpectEndpoint("HTTPS://service.example", "HTTPS://service.example", 80);
    ExpectEndpoint("Http://service.example", "Http://service.example", 80);
    ExpectEndpoint(" https://service.example", " https://service.example", 80);
    ExpectEndpoint("https:/service.example", "https:/service.example", 80);
}

TEST(SplitServerText, EverythingAfterTheSchemeIsTheHostName) {
    ExpectEndpoint("https://service.example:8443/agent/", "service.example:8443/agent/", 443);
    ExpectEndpoint("http://service.example/", "service.example/", 80);
    ExpectEndpoint("https://", "", 443);
}

}  // namespace
}  // namespace kov
