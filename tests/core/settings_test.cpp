// Settings from a real "Params.ini" beside a (pretended) executable, and
// credentials in an in-memory profile.
#include "core/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/core/memory_profile_store.h"
#include "tests/core/temp_dir.h"

namespace kov {
namespace {

constexpr char kDefaultServer[] = "https://www.kovarentis.ru";
constexpr char kConsultPath[] = "/profile/expertconsult";

class SettingsTest : public ::testing::Test {
protected:
    std::string ExecutablePath() const { return (dir_.path() / "Kovarentis.exe").string(); }

    AgentSettings LoadFrom(std::string_view paramsIni) {
        dir_.WriteFile("Params.ini", paramsIni);
        return AgentSettings(store_, ExecutablePath());
    }

    test::TempDir dir_;
    test::MemoryProfileStore store_;
};

TEST_F(SettingsTest, MissingFileGivesDefaults) {
    const AgentSettings settings(store_, ExecutablePath());
    EXPECT_EQ(settings.server, kDefaultServer);
    EXPECT_EQ(settings.prefix, "newmessages");
    EXPECT_EQ(settings.consultUrl, std::string(kDefaultServer) + kConsultPath);
    EXPECT_EQ(settings.requestTimeout, 15000);
    EXPECT_EQ(settings.awayTimeout, 600000);
    EXPECT_EQ(settings.testUpdateRequest, 0);
    EXPECT_EQ(settings.newMessageBalloon, 1) << "the balloon is on unless turned off";
    EXPECT_EQ(settings.soundWhileBusy, 0);
    EXPECT_EQ(settings.remember, 1);
    EXPECT_EQ(settings.login, "");
    EXPECT_EQ(settings.token, "");
}

TEST_F(SettingsTest, ReadsEveryKeyWithEitherLineEnd) {
    for (const std::string eol : {"\r\n", "\n"}) {
        SCOPED_TRACE(eol == "\n" ? "LF" : "CR LF");
        const AgentSettings settings = LoadFrom(
            "Server=http://127.0.0.1" + eol + "Preffix=/q/\xe2\xf5\xee\xe4" + eol +
            "ConsultURL=http://h/page" + eol + "RequestTimeout=30" + eol + "AwayTimeout=2" + eol +
            "test_update_request=1");  // the last line has no line end
        EXPECT_EQ(settings.server, "http://127.0.0.1");
        EXPECT_EQ(settings.prefix, "/q/\xe2\xf5\xee\xe4") << "bytes are kept as they are";
        EXPECT_EQ(settings.consultUrl, "http://h/page");
        EXPECT_EQ(settings.requestTimeout, 30000);
        EXPECT_EQ(settings.awayTimeout, 120000);
        EXPECT_EQ(settings.testUpdateRequest, 1);
    }
}

TEST_F(SettingsTest, RequestTimeoutIsWholeSecondsOrTheDefault) {
    const struct {
        const char* value;
        int32_t ms;
    } cases[] = {
        {"30", 30000},       {"abc", 15000},       {"0", 15000},         {"-5", 15000},
        {"2.5", 2000},       {"+7s", 7000},        {"", 15000},          {"2147483", 2147483000},
        // The milliseconds would not fit 32 bits; the second would wrap to 704.
        {"2147484", 15000},  {"4294968", 15000},
        {"99999999999999999999", 15000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadFrom(std::string("RequestTimeout=") + c.value + "\n").requestTimeout, c.ms)
            << '"' << c.value << '"';
    }
}

TEST_F(SettingsTest, AwayTimeoutIsWholeMinutesOrTheDefault) {
    const struct {
        const char* value;
        int32_t ms;
    } cases[] = {
        {"1", 60000}, {"0", 600000}, {"-1", 600000}, {"x", 600000},
        // The last two would not fit 32 bits; the second would wrap to 12704.
        {"35791", 2147460000}, {"35792", 600000}, {"71583", 600000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadFrom(std::string("AwayTimeout=") + c.value + "\n").awayTimeout, c.ms)
            << '"' << c.value << '"';
    }
}

TEST_F(SettingsTest, TestUpdateRequestIsAnyIntegerSaturatedTo32Bits) {
    EXPECT_EQ(LoadFrom("test_update_request=-3\n").testUpdateRequest, -3);
    EXPECT_EQ(LoadFrom("test_update_request=yes\n").testUpdateRequest, 0);
    EXPECT_EQ(LoadFrom("test_update_request=99999999999\n").testUpdateRequest, INT32_MAX);
    EXPECT_EQ(LoadFrom("test_update_request=-99999999999\n").testUpdateRequest, INT32_MIN);
}

TEST_F(SettingsTest, AlertKeysAreNumbersWhereZeroMeansOff) {
    const AgentSettings changed = LoadFrom("NewMessageBalloon=0\r\nSoundWhileBusy=1\r\n");
    EXPECT_EQ(changed.newMessageBalloon, 0);
    EXPECT_EQ(changed.soundWhileBusy, 1);
    const AgentSettings spelledOut = LoadFrom(" newmessageballoon = 1 \nSOUNDWHILEBUSY=0\n");
    EXPECT_EQ(spelledOut.newMessageBalloon, 1);
    EXPECT_EQ(spelledOut.soundWhileBusy, 0);
    // Like test_update_request: a value without leading digits counts as 0.
    EXPECT_EQ(LoadFrom("NewMessageBalloon=no\n").newMessageBalloon, 0);
    EXPECT_EQ(LoadFrom("SoundWhileBusy=-1\n").soundWhileBusy, -1);
}

TEST_F(SettingsTest, DiagnosticLogIsOffUnlessTheKeyIsANonZeroNumber) {
    EXPECT_EQ(LoadFrom("Server=http://a\n").diagnosticLog, 0);
    EXPECT_EQ(LoadFrom(" diagnosticlog = 1 \r\n").diagnosticLog, 1);
    EXPECT_EQ(LoadFrom("DiagnosticLog=on\n").diagnosticLog, 0);
    EXPECT_EQ(LoadFrom(";DiagnosticLog=1\n").diagnosticLog, 0);
    EXPECT_EQ(LoadFrom("DiagnosticLog=1\nDiagnosticLog=0\n").diagnosticLog, 0) << "the last one counts";
}

TEST_F(SettingsTest, KeysIgnoreCaseAndBlanksAroundKeyAndValueAreTrimmed) {
    const AgentSettings settings = LoadFrom(
        "  server \t=  http://example.test  \r\n"
        "\vREQUESTTIMEOUT\f=\t20\v\n"
        "consulturl= http://c/ \n");
    EXPECT_EQ(settings.server, "http://example.test");
    EXPECT_EQ(settings.requestTimeout, 20000);
    EXPECT_EQ(settings.consultUrl, "http://c/");
}

TEST_F(SettingsTest, OnlyPreffixWithTwoFsSetsThePrefix) {
    EXPECT_EQ(LoadFrom("Prefix=one\n").prefix, "newmessages");
    EXPECT_EQ(LoadFrom("Prefix=one\nPreffix=two\nPrefix=three\n").prefix, "two");
}

TEST_F(SettingsTest, ConsultUrlFollowsTheServerUnlessGiven) {
    EXPECT_EQ(LoadFrom("Server=http://other.test\n").consultUrl,
              std::string("http://other.test") + kConsultPath);
    EXPECT_EQ(LoadFrom("ConsultURL=http://c/x\nServer=http://other.test\n").consultUrl,
              "http://c/x");
    EXPECT_EQ(LoadFrom("Server=\n").consultUrl, std::string(kDefaultServer) + kConsultPath);
}

TEST_F(SettingsTest, EmptyServerValueKeepsTheDefault) {
    EXPECT_EQ(LoadFrom("Server=\n").server, kDefaultServer);
    EXPECT_EQ(LoadFrom("Server=  \t\n").server, kDefaultServer);
    EXPECT_EQ(LoadFrom("Server=http://a\nServer=\n").server, kDefaultServer)
        << "the last, empty, occurrence wins and then the default applies";
}

TEST_F(SettingsTest, CommentsAndUnknownKeysAreIgnored) {
    EXPECT_EQ(LoadFrom(";Server=http://commented\n").server, kDefaultServer);
    EXPECT_EQ(LoadFrom("x;Server=http://x\n").server, kDefaultServer);
    EXPECT_EQ(LoadFrom(" ;Server=http://x\n").server, kDefaultServer);
    EXPECT_EQ(LoadFrom("Server http://x\n").server, kDefaultServer) << "no '='";
    EXPECT_EQ(LoadFrom("=http://x\n").server, kDefaultServer) << "empty key";
    // A lone ';' is no comment but has no key either; the lines around it count.
    EXPECT_EQ(LoadFrom("\n;\n\r\nServer=http://kept\n").server, "http://kept");
}

TEST_F(SettingsTest, ValueMayContainEquals) {
    EXPECT_EQ(LoadFrom("ConsultURL=http://h/p?a=1&b==2\n").consultUrl, "http://h/p?a=1&b==2");
}

TEST_F(SettingsTest, LastOccurrenceWins) {
    const AgentSettings settings =
        LoadFrom("Server=http://a\nRequestTimeout=5\nServer=http://b\nRequestTimeout=6\n");
    EXPECT_EQ(settings.server, "http://b");
    EXPECT_EQ(settings.requestTimeout, 6000);
}

TEST_F(SettingsTest, FileIsBesideTheExecutableWhicheverSeparatorComesLast) {
    namespace fs = std::filesystem;
    dir_.WriteFile("Params.ini", "Server=http://wrong\n");
    dir_.WriteFile("sub\\Params.ini", "Server=http://after-backslash\n");
    EXPECT_EQ(AgentSettings(store_, dir_.path().string() + "/sub\\Kovarentis.exe").server,
              "http://after-backslash");

    ASSERT_TRUE(fs::create_directory(dir_.path() / "a\\b"));
    dir_.WriteFile("a\\b/Params.ini", "Server=http://after-slash\n");
    EXPECT_EQ(AgentSettings(store_, dir_.path().string() + "/a\\b/Kovarentis.exe").server,
              "http://after-slash");
}

TEST_F(SettingsTest, AUtf8ByteOrderMarkIsReadAsIfItWereNotThere) {
    const AgentSettings settings = LoadFrom("\xEF\xBB\xBFServer=http://127.0.0.1\r\nRequestTimeout=30\r\n");
    EXPECT_EQ(settings.server, "http://127.0.0.1") << "the first key lost to the mark";
    EXPECT_EQ(settings.requestTimeout, 30000);
    EXPECT_EQ(LoadFrom("\xEF\xBB\xBF;Server=http://127.0.0.1\n").server, kDefaultServer)
        << "a comment stays a comment after the mark";
    EXPECT_EQ(LoadFrom("\xEF\xBBServer=http://127.0.0.1\n").server, kDefaultServer)
        << "only the whole mark is dropped";
}

TEST_F(SettingsTest, TheFileIsReadThroughTheGivenReaderByItsFullPath) {
    std::vector<std::string> asked;
    const std::string exe = "C:\\\xce\xb1\xce\xb2\xe6\xbc\xa2\\Kovarentis.exe";  // UTF-8 folder name
    const AgentSettings settings(store_, exe, [&](const std::string& path) {
        asked.push_back(path);
        return std::string("Server=http://127.0.0.5\n");
    });
    EXPECT_EQ(asked, std::vector<std::string>{"C:\\\xce\xb1\xce\xb2\xe6\xbc\xa2\\Params.ini"});
    EXPECT_EQ(settings.server, "http://127.0.0.5");
}

TEST_F(SettingsTest, WithoutAnExecutablePathNoFileIsReadNotEvenInTheCurrentDirectory) {
    bool read = false;
    const AgentSettings settings(store_, "", [&](const std::string&) {
        read = true;
        return std::string("Server=http://127.0.0.6\n");
    });
    EXPECT_FALSE(read);
    EXPECT_EQ(settings.server, kDefaultServer);
}

TEST_F(SettingsTest, LoadingAgainStartsFromScratch) {
    AgentSettings settings = LoadFrom(
        "Server=http://a\nPreffix=p\nConsultURL=http://c\nRequestTimeout=5\nAwayTimeout=5\n"
        "test_update_request=1\nNewMessageBalloon=0\nSoundWhileBusy=1\nDiagnosticLog=1\n");
    ASSERT_EQ(settings.diagnosticLog, 1);
    store_.Preset("App", "Login", "later");
    std::filesystem::remove(dir_.path() / "Params.ini");
    settings.Load();
    EXPECT_EQ(settings.server, kDefaultServer);
    EXPECT_EQ(settings.prefix, "newmessages");
    EXPECT_EQ(settings.consultUrl, std::string(kDefaultServer) + kConsultPath);
    EXPECT_EQ(settings.requestTimeout, 15000);
    EXPECT_EQ(settings.awayTimeout, 600000);
    EXPECT_EQ(settings.testUpdateRequest, 0);
    EXPECT_EQ(settings.newMessageBalloon, 1);
    EXPECT_EQ(settings.soundWhileBusy, 0);
    EXPECT_EQ(settings.diagnosticLog, 0);
    EXPECT_EQ(settings.login, "later");
}

TEST_F(SettingsTest, CredentialsComeFromSectionApp) {
    store_.Preset("App", "Login", "\xc8\xe2\xe0\xed");
    store_.Preset("App", "Token", "tok\r\n");
    store_.Preset("Other", "Login", "elsewhere");
    const AgentSettings settings(store_, ExecutablePath());
    EXPECT_EQ(settings.login, "\xc8\xe2\xe0\xed");
    EXPECT_EQ(settings.token, "tok\r\n");
    EXPECT_TRUE(store_.Writes().empty()) << "loading writes nothing";
}

TEST_F(SettingsTest, SaveStoresCredentialsOnlyWhenRemembered) {
    AgentSettings settings(store_, ExecutablePath());
    settings.login = "ivan";
    settings.token = "t1";
    settings.remember = 0;
    settings.Save();
    EXPECT_TRUE(store_.Writes().empty());

    settings.remember = 1;
    settings.Save();
    EXPECT_EQ(store_.Stored("App", "Login"), "ivan");
    EXPECT_EQ(store_.Stored("App", "Token"), "t1");
    EXPECT_EQ(AgentSettings(store_, ExecutablePath()).token, "t1") << "the next start has them";
}

TEST_F(SettingsTest, ClearStoredBlanksTheProfileAndOptionallyMemory) {
    for (const bool keepInMemory : {true, false}) {
        SCOPED_TRACE(keepInMemory ? "keep in memory" : "forget in memory");
        test::MemoryProfileStore store;
        store.Preset("App", "Login", "ivan");
        store.Preset("App", "Token", "t1");
        AgentSettings settings(store, ExecutablePath());
        settings.login = "typed";
        settings.ClearStored(keepInMemory);
        EXPECT_EQ(settings.login, keepInMemory ? "typed" : "");
        EXPECT_EQ(settings.token, keepInMemory ? "t1" : "");
        // The values stay in the profile, empty.
        EXPECT_EQ(store.Writes(), (std::vector<test::MemoryProfileStore::Write>{
                                      {"App", "Login", ""}, {"App", "Token", ""}}));
    }
}

TEST_F(SettingsTest, RememberIsNotStoredAndStartsSet) {
    AgentSettings settings(store_, ExecutablePath());
    settings.remember = 0;
    settings.ClearStored(true);
    settings.Save();
    EXPECT_EQ(store_.Writes().size(), 2u) << "only the blanked Login and Token";
    EXPECT_EQ(AgentSettings(store_, ExecutablePath()).remember, 1);
}

}  // namespace
}  // namespace kov
