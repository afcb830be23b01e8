#include "settings.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "decimal_text.h"

namespace kov {
namespace {

constexpr char kCredentialsSection[] = "App";
constexpr char kLoginValue[] = "Login";
constexpr char kTokenValue[] = "Token";
constexpr char kTrayHintValue[] = "TrayHintShown";
constexpr char kSettingsFileName[] = "Params.ini";

constexpr char kDefaultServer[] = "https://www.kovarentis.ru";
constexpr char kDefaultPrefix[] = "newmessages";
constexpr char kConsultPagePath[] = "/profile/expertconsult";
constexpr std::int32_t kDefaultRequestTimeoutMs = 15000;
constexpr std::int32_t kDefaultAwayTimeoutMs = 600000;
constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kMsPerMinute = 60000;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsAsciiSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsAsciiSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// A value whose milliseconds do not fit a signed 32-bit integer is taken as 0,
// so it falls back to the default like any other unusable value: a huge poll
// or away period is far more likely a typo than a wish.
std::int32_t ToMilliseconds(std::string_view value, std::int64_t msPerUnit) {
    const std::int64_t ms = LeadingDecimal(value) * msPerUnit;
    if (ms > std::numeric_limits<std::int32_t>::max() ||
        ms < std::numeric_limits<std::int32_t>::min())
        return 0;
    return static_cast<std::int32_t>(ms);
}

// "Params.ini" in the directory of the executable; the last backslash or slash
// ends the directory, whichever comes later.
std::string SettingsFilePath(const std::string& executablePath) {
    const std::size_t separator = executablePath.find_last_of("\\/");
    const std::size_t directoryLength = separator == std::string::npos ? 0 : separator + 1;
    return executablePath.substr(0, directoryLength) + kSettingsFileName;
}

// One line of the settings file, its line end already removed.
void ApplyLine(AgentSettings& settings, std::string_view line) {
    if (line.empty()) return;
    if (line.size() > 1 && line.front() == ';') return;  // comment

    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;  // empty key: nothing matches it
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));

    if (EqualsIgnoringCase(key, "Server")) {
        settings.server = value;
    } else if (EqualsIgnoringCase(key, "Preffix")) {
        settings.prefix = value;
    } else if (EqualsIgnoringCase(key, "ConsultURL")) {
        settings.consultUrl = value;
    } else if (EqualsIgnoringCase(key, "RequestTimeout")) {
        settings.requestTimeout = ToMilliseconds(value, kMsPerSecond);
    } else if (EqualsIgnoringCase(key, "AwayTimeout")) {
        settings.awayTimeout = ToMilliseconds(value, kMsPerMinute);
    } else if (EqualsIgnoringCase(key, "test_update_request")) {
        settings.testUpdateRequest = LeadingDecimal(value);
    } else if (EqualsIgnoringCase(key, "NewMessageBalloon")) {
        settings.newMessageBalloon = LeadingDecimal(value);
    } else if (EqualsIgnoringCase(key, "SoundWhileBusy")) {
        settings.soundWhileBusy = LeadingDecimal(value);
    } else if (EqualsIgnoringCase(key, "DiagnosticLog")) {
        settings.diagnosticLog = LeadingDecimal(value);
    }
}

// Notepad saves "UTF-8" files with a byte-order mark; without this it would
// become part of the first key.
std::string_view WithoutUtf8Bom(std::string_view text) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    return text;
}

// Lines end in LF or CR LF; the CR of the latter is white space to the
// trimming of keys and values, and a CR alone never makes a setting.
void ApplyLines(AgentSettings& settings, std::string_view text) {
    text = WithoutUtf8Bom(text);
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = text.size();
        ApplyLine(settings, text.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
    }
}

// In this order: the consult page follows the server after its own default.
void ApplyDefaults(AgentSettings& settings) {
    if (settings.server.empty()) settings.server = kDefaultServer;
    if (settings.prefix.empty()) settings.prefix = kDefaultPrefix;
    if (settings.consultUrl.empty()) settings.consultUrl = settings.server + kConsultPagePath;
    if (settings.requestTimeout <= 0) settings.requestTimeout = kDefaultRequestTimeoutMs;
    if (settings.awayTimeout <= 0) settings.awayTimeout = kDefaultAwayTimeoutMs;
}

}  // namespace

// C streams rather than iostreams: the stream library alone would weigh more
// than the rest of the agent.
std::string ReadWholeFile(const std::string& path) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return {};
    std::string content;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) content.append(chunk, got);
    return content;
}

AgentSettings::AgentSettings(ProfileStore& store, std::string executablePath, FileReader readFile)
    : store_(store), executablePath_(std::move(executablePath)), readFile_(std::move(readFile)) {
    Load();
}

void AgentSettings::Load() {
    login = store_.ReadString(kCredentialsSection, kLoginValue);
    token = store_.ReadSecret(kCredentialsSection, kTokenValue);
    trayHintShown = LeadingDecimal(store_.ReadString(kCredentialsSection, kTrayHintValue));

    server.clear();
    prefix.clear();
    consultUrl.clear();
    requestTimeout = 0;
    awayTimeout = 0;
    testUpdateRequest = 0;
    newMessageBalloon = 1;
    soundWhileBusy = 0;
    diagnosticLog = 0;
    if (!executablePath_.empty()) ApplyLines(*this, readFile_(SettingsFilePath(executablePath_)));
    ApplyDefaults(*this);
}

void AgentSettings::Save() {
    if (remember == 0) return;
    store_.WriteString(kCredentialsSection, kLoginValue, login);
    store_.WriteSecret(kCredentialsSection, kTokenValue, token);
}

void AgentSettings::ClearStored(bool keepInMemory) {
    if (!keepInMemory) {
        login.clear();
        token.clear();
    }
    store_.WriteString(kCredentialsSection, kLoginValue, "");
    store_.WriteSecret(kCredentialsSection, kTokenValue, "");
}

void AgentSettings::RememberTrayHint() {
    trayHintShown = 1;
    store_.WriteString(kCredentialsSection, kTrayHintValue, "1");
}

}  // namespace kov
