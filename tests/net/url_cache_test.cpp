// Service requests carry the password digest and the token in their query:
// none of them may land in the URL cache on disk, whatever the server says.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <string>

#include "net/service_request.h"
#include "standin_control.h"

namespace kov {
namespace {

bool InUrlCache(const std::string& url) {
    DWORD size = 0;
    return GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size) || GetLastError() != ERROR_FILE_NOT_FOUND;
}

TEST(ServiceRequestCache, CacheableRepliesAreNeverWrittenToTheUrlCache) {
    test::StandinControl control;
    ASSERT_TRUE(control.Reset());
    const std::string signIn = "newmessages?do=login&login=cache&password=0123456789abcdef0123456789abcdef";
    const std::string status = "newmessages?do=get&status=0&login=cache&token=secret-token";
    ASSERT_TRUE(control.Queue("login", "0 secret-token", "header=Cache-Control:%20max-age=86400"));
    ASSERT_TRUE(control.Queue("get", "0 0001", "header=Cache-Control:%20public,%20max-age=86400"));

    // Plain HTTP: no server is remembered.
    ServiceRequester requester(TrustedServers("Software\\Kovarentis tests\\TrustedServers"));
    EXPECT_EQ(requester.ServiceRequest("http://127.0.0.1", signIn, "", ""), "0 secret-token");
    EXPECT_EQ(requester.ServiceRequest("http://127.0.0.1", status, "", ""), "0 0001");

    EXPECT_FALSE(InUrlCache("http://127.0.0.1/" + signIn));
    EXPECT_FALSE(InUrlCache("http://127.0.0.1/" + status));
    control.Reset();
}

}  // namespace
}  // namespace kov
