#pragma once
// A controller on the fake platform: the test's thread is the UI thread, and
// the test decides when queued work runs and its result comes back, so every
// order it needs is deterministic.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/agent_controller.h"
#include "tests/core/fake_platform.h"
#include "tests/core/memory_profile_store.h"

namespace kov::test {

// Texts as the consultant sees them, Windows-1251 bytes.
inline const std::string kCaptionText = "Kovarentis ";
inline const std::string kOnlineText = "\xce\xed\xeb\xe0\xe9\xed";        // Онлайн
inline const std::string kOfflineText = "\xce\xf4\xf4\xeb\xe0\xe9\xed";   // Оффлайн
inline const std::string kAwayText = "\xce\xf2\xee\xf8\xe5\xeb";          // Отошел
inline const std::string kNewMessagesText =                              // "Новых сообщений "
    "\xcd\xee\xe2\xfb\xf5\x20\xf1\xee\xee\xe1\xf9\xe5\xed\xe8\xe9\x20";
inline const std::string kBadLoginText =                                  // Неверный логин/пароль
    "\xcd\xe5\xe2\xe5\xf0\xed\xfb\xe9\x20\xeb\xee\xe3\xe8\xed\x2f\xef\xe0\xf0\xee\xeb\xfc";
inline const std::string kAuthorizationText =                             // Авторизация
    "\xc0\xe2\xf2\xee\xf0\xe8\xe7\xe0\xf6\xe8\xff";
inline const std::string kUnexpectedErrorText =                           // Непредвиденная ошибка
    "\xcd\xe5\xef\xf0\xe5\xe4\xe2\xe8\xe4\xe5\xed\xed\xe0\xff\x20\xee\xf8\xe8\xe1\xea\xe0";
inline const std::string kConnectFailedText =  // Не удалось установить соединение с сервером
    "\xcd\xe5\x20\xf3\xe4\xe0\xeb\xee\xf1\xfc\x20\xf3\xf1\xf2\xe0\xed\xee\xe2\xe8\xf2\xfc\x20\xf1\xee"
    "\xe5\xe4\xe8\xed\xe5\xed\xe8\xe5\x20\xf1\x20\xf1\xe5\xf0\xe2\xe5\xf0\xee\xec";
inline const std::string kNotSignedInText = "\xc2\xfb\x20\xed\xe5\x20\xe2\xee\xf8\xeb\xe8";  // Вы не вошли
inline const std::string kUpdateNotAuthenticText =  // Обновление не прошло проверку подлинности и не будет установлено
    "\xce\xe1\xed\xee\xe2\xeb\xe5\xed\xe8\xe5 \xed\xe5 \xef\xf0\xee\xf8\xeb\xee \xef\xf0\xee\xe2\xe5\xf0\xea\xf3 "
    "\xef\xee\xe4\xeb\xe8\xed\xed\xee\xf1\xf2\xe8 \xe8 \xed\xe5 \xe1\xf3\xe4\xe5\xf2 \xf3\xf1\xf2\xe0\xed\xee\xe2\xeb\xe5\xed\xee";
inline const std::string kUpdateQuestionText =  // Ваша версия агента устарела, установить новый агент?
    "\xc2\xe0\xf8\xe0\x20\xe2\xe5\xf0\xf1\xe8\xff\x20\xe0\xe3\xe5\xed\xf2\xe0\x20\xf3\xf1\xf2\xe0\xf0"
    "\xe5\xeb\xe0\x2c\x20\xf3\xf1\xf2\xe0\xed\xee\xe2\xe8\xf2\xfc\x20\xed\xee\xe2\xfb\xe9\x20\xe0\xe3"
    "\xe5\xed\xf2\x3f";

// The connecting animation's frames, in order.
inline const std::vector<TrayIcon> kConnecting{TrayIcon::Connecting1, TrayIcon::Connecting2, TrayIcon::Connecting3,
                                               TrayIcon::Connecting4};

inline std::string Tooltip(const std::string& text) { return "Kovarentis : " + text; }

constexpr int kRequestTimeout = 15000;
constexpr int kAwayTimeout = 600000;
constexpr char kServer[] = "https://service.test";
constexpr char kPrefix[] = "newmessages";

// The value of one query parameter of a request path; "" when it is missing.
inline std::string QueryValue(const std::string& path, const std::string& name) {
    const std::string key = name + "=";
    std::size_t at = path.find('?');
    while (at != std::string::npos) {
        const std::size_t start = at + 1;
        if (path.compare(start, key.size(), key) == 0) {
            const std::size_t end = path.find('&', start);
            return path.substr(start + key.size(), end == std::string::npos ? std::string::npos
                                                                            : end - start - key.size());
        }
        at = path.find('&', start);
    }
    return std::string();
}

inline bool IsStatusRequest(const SentRequest& r) { return QueryValue(r.path, "do") == "get"; }
inline bool IsSignInRequest(const SentRequest& r) { return QueryValue(r.path, "do") == "login"; }

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() {
        settings.server = kServer;
        settings.prefix = kPrefix;
        settings.consultUrl = std::string(kServer) + "/profile/expertconsult";
        settings.requestTimeout = kRequestTimeout;
        settings.awayTimeout = kAwayTimeout;
        settings.testUpdateRequest = 0;
    }

    // Results of work still queued are dropped, as with the main window gone.
    void TearDown() override {
        agent.reset();
        platform->RunQueuedThreads();
    }

    void CreateAgent(std::shared_ptr<DiagnosticLog> log = std::make_shared<NoDiagnosticLog>()) {
        agent = std::make_unique<AgentController>(platform, settings, Texts(), std::move(log));
        platform->onTimer = [this](int id) {
            if (agent) agent->OnTimer(id);
        };
        platform->onReply = [this](const ServiceAnswer& answer) {
            if (agent) agent->OnReply(answer);
        };
        platform->onFetched = [this](const InstallerFetch& fetch) {
            if (agent) agent->OnInstallerFetched(fetch);
        };
    }

    // Starts with stored credentials; the first poll is queued, not yet run.
    void StartSignedIn() {
        settings.login = "ivan";
        settings.token = "tok";
        CreateAgent();
        agent->OnInitDialog();
    }

    // Started, and the first poll answered with reply.
    void StartWithReply(const std::string& reply) {
        StartSignedIn();
        transport->QueueReply(reply);
        RunThreads();
    }

    void StartOnline(int messages = 0) {
        char reply[16];
        std::snprintf(reply, sizeof reply, "0 %04d", messages);
        StartWithReply(reply);
        ASSERT_FALSE(agent->State().signedOut);
    }

    int RunThreads() { return platform->RunQueuedThreads(); }

    // Moves the fake clock on and lets the workers it started run.
    void Tick(std::int64_t ms) {
        platform->Advance(ms);
        RunThreads();
    }

    std::vector<SentRequest> StatusRequests() const {
        std::vector<SentRequest> found;
        for (const auto& r : transport->Requests()) {
            if (IsStatusRequest(r)) found.push_back(r);
        }
        return found;
    }

    const FakeRecord& Record() const { return platform->Record(); }

    std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
    std::shared_ptr<FakePlatform> platform = std::make_shared<FakePlatform>(transport);
    MemoryProfileStore store;
    AgentSettings settings{store, "/nonexistent-kovarentis-dir/Kovarentis.exe"};
    std::unique_ptr<AgentController> agent;
};

}  // namespace kov::test
