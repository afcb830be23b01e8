#pragma once
// The agent's user-interface texts as Windows-1251 bytes. The texts of the
// string table have compiled-in copies here, used when an entry cannot be
// loaded; the other texts exist only here.
#include <array>
#include <cstddef>
#include <string>

namespace kov {

// The agent's texts, numbered from 0 without gaps; the shell maps them to
// its string table.
enum class TextId : int {
    Online,
    Offline,
    Away,
    NewMessages,
    Close,
    SignOut,
    About,
    BadLogin,
    Authorization,
    SignIn,
    UnexpectedError,
    ConnectFailed,
    NotSignedIn,
    UpdateNotAuthentic,
    // The sign-in dialog's answer to a login or password with a character
    // that Windows-1251 cannot carry.
    LoginNotRepresentable,
    NewMessagesBalloon,
    // The tooltip during an outage; the time it began follows the blank.
    NoConnectionSince,
    // Where the tray icon is on a Windows that hides new icons, and how to
    // keep it on the taskbar.
    TrayIconHint,
    // The sign-in dialog's tip on a field when more was pasted than it takes.
    TextTooLong,
    // The tray menus' item that opens the consultant page.
    OpenConsultPage,
};

constexpr std::size_t kTextCount = 20;
static_assert(static_cast<std::size_t>(TextId::OpenConsultPage) + 1 == kTextCount,
              "kTextCount counts every TextId");

// The compiled-in copy of a text; "" for a value that names no text.
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
