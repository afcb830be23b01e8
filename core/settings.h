#pragma once
// The agent's configuration ("Params.ini" beside the executable) and the
// consultant's credentials (per-user profile, section "App").
#include <cstdint>
#include <functional>
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
    // The same for a secret (the token), which Windows keeps encrypted for
    // the user. A plain value that an earlier version stored is read too.
    virtual std::string ReadSecret(const std::string& section, const std::string& name) = 0;
    virtual void WriteSecret(const std::string& section, const std::string& name,
                             const std::string& value) = 0;
};

// The whole file as bytes, "" when it cannot be read. Paths are UTF-8.
using FileReader = std::function<std::string(const std::string& path)>;
// C streams: fine where the C library takes UTF-8 paths (not on Windows).
std::string ReadWholeFile(const std::string& path);

class AgentSettings {
public:
    // Loads at once; executablePath is the full path of the running program,
    // "" when it could not be had (then no settings file is read: a relative
    // "Params.ini" would be whatever the current directory holds).
    AgentSettings(ProfileStore& store, std::string executablePath, FileReader readFile = ReadWholeFile);

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
    // Non-zero: the diagnostic log is kept (off by default).
    int32_t diagnosticLog = 0;
    // Non-zero once the balloon that says where the tray icon is has been
    // shown: it is shown once per installation.
    int32_t trayHintShown = 0;

    void Load();
    // Stores login and token when remember is set.
    void Save();
    // Blanks the stored values; with keepInMemory false also login and token.
    void ClearStored(bool keepInMemory);
    // Stores that the tray hint has been shown.
    void RememberTrayHint();

private:
    ProfileStore& store_;
    std::string executablePath_;
    FileReader readFile_;
};

}  // namespace kov
