#pragma once
// The agent's configuration ("Params.ini" beside the executable) and the
// consultant's credentials (per-user profile, section "App").
#include <cstdint>
#include <string>

namespace kov {

// Per-user string values. Windows keeps them in the registry; tests in memory.
class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    // The stored value, or "" when it is absent or cannot be read.
    virtual std::string ReadString(const std::string& section, const std::string& name) = 0;
    // Failures are silent: the agent cannot do anything useful about them.
    virtual void WriteString(const std::string& section, const std::string& name,
                             const std::string& value) = 0;
};

class AgentSettings {
public:
    // Loads at once; executablePath is the full path of the running program.
    AgentSettings(ProfileStore& store, std::string executablePath);

    std::string login;
    std::string token;
    std::string server;
    std::string prefix;
    std::string consultUrl;
    int32_t requestTimeout = 0;  // ms
    int32_t awayTimeout = 0;     // ms
    int32_t remember = 1;
    int32_t testUpdateRequest = 0;
    // How a rise of the new-message count is announced: 0 turns the balloon
    // off; non-zero plays the sound even while the consultant is busy.
    int32_t newMessageBalloon = 1;
    int32_t soundWhileBusy = 0;

    void Load();
    // Stores login and token when remember is set.
    void Save();
    // Blanks the stored values; with keepInMemory false also login and token.
    void ClearStored(bool keepInMemory);

private:
    ProfileStore& store_;
    std::string executablePath_;
};

}  // namespace kov
