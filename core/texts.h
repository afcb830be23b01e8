#pragma once
// The agent's user-interface texts as Windows-1251 bytes. The texts of the
// string table have compiled-in copies here, used when an entry cannot be
// loaded; the other texts exist only here.
#include <array>
#include <cstddef>
#include <string>

namespace kov {

// Values are the string-table identifiers (IDS_... in shell/res/resource.h).
enum class TextId : int {
    Online = 129,
    Offline = 130,
    Away = 131,
    NewMessages = 132,
    Close = 133,
    SignOut = 134,
    About = 135,
    BadLogin = 136,
    Authorization = 137,
    SignIn = 138,
    UnexpectedError = 139,
    ConnectFailed = 140,
    NotSignedIn = 141,
    // The sign-in dialog's answer to a login or password with a character
    // that Windows-1251 cannot carry.
    LoginNotRepresentable = 143,
    NewMessagesBalloon = 144,
};

constexpr std::size_t kTextCount = 15;

// The order in which the main window loads its texts.
constexpr std::array<TextId, kTextCount> kTextLoadOrder = {
    TextId::Online,   TextId::Offline,       TextId::Away,          TextId::NewMessages,
    TextId::Close,    TextId::SignOut,       TextId::SignIn,        TextId::About,
    TextId::BadLogin, TextId::Authorization, TextId::UnexpectedError, TextId::ConnectFailed,
    TextId::NotSignedIn, TextId::LoginNotRepresentable, TextId::NewMessagesBalloon,
};

// The compiled-in copy of a string-table text; "" for an id outside the table.
const char* DefaultText(TextId id);

// The texts, one per TextId, owned together. Indexing takes only the
// enumerators above.
class Texts {
public:
    // Every text set to its compiled-in copy.
    Texts();
    const std::string& operator[](TextId id) const;
    std::string& operator[](TextId id);

private:
    std::array<std::string, kTextCount> texts_;
};

// Caption of every message box and the per-user settings key name (one
// trailing blank: "Kovarentis" with a blank is not the same key without it).
extern const char* const kCaption;
// Yes/No question before an update is downloaded.
extern const char* const kUpdateQuestion;
// Tooltip formats: caption, state text; caption, text, new-message count.
extern const char* const kTooltipFormat;
extern const char* const kTooltipCountFormat;
// The new-message balloon: its text, then the count.
extern const char* const kBalloonCountFormat;
// File name of the downloaded update installer.
extern const char* const kInstallerFileName;

}  // namespace kov
