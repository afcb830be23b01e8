// ServiceRequester against the stand-in service on loopback, under Wine.
// Endpoints: plain HTTP 127.0.0.1:80; TLS on 443 at 127.0.0.2 (CA nobody
// trusts), 127.0.0.3 (expired, trusted CA), 127.0.0.4 (issued for another host).
#include "net/service_request.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <iostream>
#include <string>

#include "standin_control.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

using test::StandinControl;
using Clock = std::chrono::steady_clock;

const std::string kStatusPath = "newmessages?do=get&status=0&login=consultant&token=t0k3n";
constexpr wchar_t kTrustedServersKey[] = L"Software\\Kovarentis tests\\TrustedServers";

std::string Pattern(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    return text;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

DWORD ThreadsOfThisProcess() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    DWORD count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

TrustedServers TestTrustedServers() {
    return TrustedServers(Utf8FromWide(kTrustedServersKey));
}

class StandinTest : public ::testing::Test {
protected:
    // Every test starts with no server remembered.
    void SetUp() override {
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kTrustedServersKey);
        ASSERT_TRUE(control_.Reset()) << "stand-in control not reachable";
    }
    // Ends the stand-in's hangs, so requests left running by a test finish too.
    void TearDown() override { control_.Reset(); }

    std::string Get(const std::string& server, const std::string& path = kStatusPath) {
        return requester_.ServiceRequest(server, path, "", "");
    }

    StandinControl control_;
    ServiceRequester requester_{TestTrustedServers()};
};

// ---- What reaches the server -------------------------------------------------

using ServiceRequestWire = StandinTest;

TEST_F(ServiceRequestWire, StatusRequestArrivesWithExactRequestLineAndHeaders) {
    ASSERT_TRUE(control_.Queue("get", "0 0003"));

    EXPECT_EQ(Get("http://127.0.0.1"), "0 0003");

    ASSERT_EQ(control_.LogSize(), 1);
    EXPECT_EQ(control_.LoggedEndpoint(0), "127.0.0.1:80");
    EXPECT_EQ(control_.LoggedRequest(0),
              "GET /" + kStatusPath + " HTTP/1.0\r\n"
              "Host: 127.0.0.1\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n"
              "Pragma: no-cache\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\n"
              "\r\n");
}

TEST_F(ServiceRequestWire, ExtraHeadersComeBeforeTheContentTypeLine) {
    EXPECT_EQ(requester_.ServiceRequest("127.0.0.1", kStatusPath, "", "X-Extra: one"), "0 0000");

    const std::string request = control_.LoggedRequest(0);
    EXPECT_NE(request.find("\r\nX-Extra: one\r\nContent-Type: application/x-www-form-urlencoded\r\n"),
              std::string::npos)
        << request;
}

TEST_F(ServiceRequestWire, BodyGoesOutAsTheRequestData) {
    EXPECT_EQ(requester_.ServiceRequest("127.0.0.1", kStatusPath, "a=1&b=2", ""), "0 0000");

    const std::string request = control_.LoggedRequest(0);
    EXPECT_NE(request.find("\r\nContent-Length: 7\r\n"), std::string::npos) << request;
    EXPECT_EQ(request.substr(request.size() - 11), "\r\n\r\na=1&b=2");
}

TEST_F(ServiceRequestWire, RedirectToAnIntranetNameOffersNoWindowsLogon) {
    // A dotless name is the intranet zone, where Windows would log on by itself.
    ASSERT_TRUE(control_.Queue("get", "", "status=302&header=Location:%20"
                                          "http://localhost/newmessages%3Fdo%3Dget%26token%3Dt0k3n"));
    ASSERT_TRUE(control_.Queue("get", "denied", "status=401&header=WWW-Authenticate:%20NTLM"));

    EXPECT_EQ(Get("http://127.0.0.1"), "denied");

    ASSERT_EQ(control_.LogSize(), 2);
    const std::string followed = control_.LoggedRequest(1);
    EXPECT_NE(followed.find("\r\nHost: localhost\r\n"), std::string::npos) << followed;
    EXPECT_EQ(followed.find("Authorization"), std::string::npos) << followed;
}

TEST_F(ServiceRequestWire, BareHostAndHttpSchemeBothReachPlainPort80) {
    ASSERT_TRUE(control_.Queue("probe", "first"));
    ASSERT_TRUE(control_.Queue("probe", "second"));

    EXPECT_EQ(Get("127.0.0.1", "newmessages"), "first");
    EXPECT_EQ(Get("http://127.0.0.1", "newmessages"), "second");

    EXPECT_EQ(control_.LoggedEndpoint(0), "127.0.0.1:80");
    EXPECT_EQ(control_.LoggedEndpoint(1), "127.0.0.1:80");
}

// ---- TLS and certificates ----------------------------------------------------

using ServiceRequestTls = StandinTest;

TEST_F(ServiceRequestTls, UnknownAuthorityFromTheStartIsAcceptedOnTheSecondSendEveryTime) {
    ASSERT_TRUE(control_.Queue("get", "0 0007"));
    ASSERT_TRUE(control_.Queue("get", "0 0008"));

    EXPECT_EQ(Get("https://127.0.0.2"), "0 0007");
    EXPECT_EQ(Get("https://127.0.0.2"), "0 0008");

    // Each first connection ends at the certificate; only the retries ask.
    EXPECT_EQ(control_.Connections("127.0.0.2:443"), 4);
    ASSERT_EQ(control_.LogSize(), 2);
    EXPECT_EQ(control_.LoggedEndpoint(0), "127.0.0.2:443");
    EXPECT_EQ(control_.LoggedRequest(0).rfind("GET /" + kStatusPath + " HTTP/1.0\r\n", 0), 0u);
    EXPECT_FALSE(TestTrustedServers().Known("127.0.0.2"));
}

TEST_F(ServiceRequestTls, ExpiredCertificateFromTrustedAuthorityIsAcceptedAtOnceAndRemembered) {
    ASSERT_TRUE(control_.Queue("login", "0 fresh-token"));

    EXPECT_EQ(Get("https://127.0.0.3", "newmessages?do=login&login=a&password=b"), "0 fresh-token");

    EXPECT_EQ(control_.Connections("127.0.0.3:443"), 1);
    EXPECT_EQ(control_.LogSize(), 1);
    EXPECT_TRUE(TestTrustedServers().Known("127.0.0.3"));
    EXPECT_FALSE(TestTrustedServers().Known("127.0.0.2"));
}

TEST_F(ServiceRequestTls, ServerOnceTrustedThatShowsAnUnknownAuthorityGetsNoRequest) {
    // As if an earlier run had reached this server with a trusted certificate.
    TestTrustedServers().Remember("127.0.0.2");

    EXPECT_EQ(Get("https://127.0.0.2"), "");

    EXPECT_EQ(control_.Connections("127.0.0.2:443"), 1);
    EXPECT_EQ(control_.LogSize(), 0);
}

TEST_F(ServiceRequestTls, CertificateForAnotherHostGivesEmptyText) {
    EXPECT_EQ(Get("https://127.0.0.4"), "");

    EXPECT_EQ(control_.Connections("127.0.0.4:443"), 1);
    EXPECT_EQ(control_.LogSize(), 0);
}

// ---- Reading the answer ------------------------------------------------------

using ServiceRequestBody = StandinTest;

TEST_F(ServiceRequestBody, BodyOfExactlyOneChunkIsReadWhole) {
    const std::string body = Pattern(1024);
    ASSERT_TRUE(control_.Queue("get", body));

    EXPECT_EQ(Get("http://127.0.0.1"), body);
}

TEST_F(ServiceRequestBody, ZeroByteCutsOnlyTheRestOfItsChunk) {
    const std::string head = Pattern(100);
    const std::string lost = std::string(1, '\0') + Pattern(923);  // to the end of chunk one
    const std::string tail = Pattern(500);
    ASSERT_TRUE(control_.Queue("get", head + lost + tail));

    EXPECT_EQ(Get("http://127.0.0.1"), head + tail);
}

TEST_F(ServiceRequestBody, ErrorPagesAreReturnedAsText) {
    const std::string notFound = "<html><body>404: no such page</body></html>";
    const std::string serverError = "<html><body>500: it broke</body></html>";
    ASSERT_TRUE(control_.Queue("get", notFound, "status=404"));
    ASSERT_TRUE(control_.Queue("get", serverError, "status=500"));

    EXPECT_EQ(Get("http://127.0.0.1"), notFound);
    EXPECT_EQ(Get("http://127.0.0.1"), serverError);
}

TEST_F(ServiceRequestBody, BodyWithoutLengthEndsWhenTheServerCloses) {
    const std::string body = Pattern(3000);
    ASSERT_TRUE(control_.Queue("get", body, "length=0"));

    EXPECT_EQ(Get("http://127.0.0.1"), body);
}

TEST_F(ServiceRequestBody, ConnectionClosedMidBodyKeepsTheTextReadSoFar) {
    const std::string body = Pattern(4000);
    ASSERT_TRUE(control_.Queue("get", body, "cut=2500"));

    EXPECT_EQ(Get("http://127.0.0.1"), body.substr(0, 2500));
}

TEST_F(ServiceRequestBody, ResultStopsAt64KiB) {
    const std::string body = Pattern(100000);
    ASSERT_TRUE(control_.Queue("get", body));

    const std::string result = Get("http://127.0.0.1");

    ASSERT_EQ(result.size(), 65536u);
    EXPECT_EQ(result, body.substr(0, 65536));
}

// ---- Failures and abort ------------------------------------------------------

using ServiceRequestFailure = StandinTest;

TEST_F(ServiceRequestFailure, NothingListeningGivesEmptyText) {
    const Clock::time_point start = Clock::now();

    EXPECT_EQ(Get("http://127.0.0.9"), "");

    // A refused connection is reported at once, not after a time-out.
    EXPECT_LT(SecondsSince(start), 10.0);
}

TEST_F(ServiceRequestFailure, SchemeInCapitalsIsTakenAsPartOfTheHostName) {
    EXPECT_EQ(Get("HTTP://127.0.0.1"), "");
    EXPECT_EQ(Get("Https://127.0.0.2"), "");

    EXPECT_EQ(control_.LogSize(), 0);
}

TEST_F(ServiceRequestFailure, RequestsInFlightAtAbortReturnEmptyWhenTheyEnd) {
    // The server answers both a few seconds after the abort: the first in
    // full, the second with half of its body before it closes.
    ASSERT_TRUE(control_.Queue("get", "0 0001", "hang=3"));
    ASSERT_TRUE(control_.Queue("get", Pattern(3000), "cut=1500&cut_hang=3"));
    // One waits for the answer's head, the other in the middle of its body.
    auto beforeHead = std::async(std::launch::async, [this] { return Get("http://127.0.0.1"); });
    ASSERT_TRUE(control_.AwaitLogSize(1));
    auto midBody = std::async(std::launch::async, [this] { return Get("http://127.0.0.1"); });
    ASSERT_TRUE(control_.AwaitLogSize(2));

    requester_.Abort();

    EXPECT_EQ(beforeHead.get(), "");
    EXPECT_EQ(midBody.get(), "");
}

TEST_F(ServiceRequestFailure, EachRequestRunsOnItsCallersThread) {
    // A hung request holds its caller and no other thread: the agent's thread
    // count is its callers' count.
    ASSERT_TRUE(control_.Queue("get", "0 0001", "hang=60"));
    const DWORD before = ThreadsOfThisProcess();
    auto hung = std::async(std::launch::async, [this] { return Get("http://127.0.0.1"); });
    ASSERT_TRUE(control_.AwaitLogSize(1));

    EXPECT_EQ(ThreadsOfThisProcess(), before + 1);
    // The reset drops the connection unanswered.
    ASSERT_TRUE(control_.Reset());
    EXPECT_EQ(hung.get(), "");
}

TEST_F(ServiceRequestFailure, AfterAbortRequestsReturnEmptyWithoutReachingTheServer) {
    requester_.Abort();

    EXPECT_EQ(Get("http://127.0.0.1"), "");
    EXPECT_EQ(control_.LogSize(), 0);

    ServiceRequester another(TestTrustedServers());
    EXPECT_EQ(another.ServiceRequest("http://127.0.0.1", kStatusPath, "", ""), "0 0000");
}

}  // namespace
}  // namespace kov
