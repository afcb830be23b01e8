#include "shell/texts_loader.h"

#include <array>
#include <cstddef>

#include "shell/res/resource.h"

namespace kov {
namespace {

struct TableText {
    TextId text;
    UINT stringId;
};

// Every text's string-table entry, in the order the main window loads them.
constexpr std::array<TableText, kTextCount> kStringTable = {{
    {TextId::Online, IDS_ONLINE},
    {TextId::Offline, IDS_OFFLINE},
    {TextId::Away, IDS_AWAY},
    {TextId::NewMessages, IDS_NEW_MESSAGES},
    {TextId::Close, IDS_CLOSE},
    {TextId::SignOut, IDS_SIGN_OUT},
    {TextId::SignIn, IDS_SIGN_IN},
    {TextId::About, IDS_ABOUT},
    {TextId::BadLogin, IDS_BAD_LOGIN},
    {TextId::Authorization, IDS_AUTHORIZATION},
    {TextId::UnexpectedError, IDS_UNEXPECTED_ERROR},
    {TextId::ConnectFailed, IDS_CONNECT_FAILED},
    {TextId::NotSignedIn, IDS_NOT_SIGNED_IN},
    {TextId::UpdateNotAuthentic, IDS_UPDATE_NOT_AUTHENTIC},
    {TextId::LoginNotRepresentable, IDS_LOGIN_NOT_REPRESENTABLE},
    {TextId::NewMessagesBalloon, IDS_NEW_MESSAGES_BALLOON},
    {TextId::NoConnectionSince, IDS_NO_CONNECTION_SINCE},
    {TextId::TrayIconHint, IDS_TRAY_ICON_HINT},
    {TextId::TextTooLong, IDS_TEXT_TOO_LONG},
    {TextId::OpenConsultPage, IDS_OPEN_CONSULT_PAGE},
}};

// Each text has exactly one entry, and no two texts share a string id.
constexpr bool OneEntryPerText() {
    for (std::size_t i = 0; i < kStringTable.size(); ++i) {
        for (std::size_t j = i + 1; j < kStringTable.size(); ++j) {
            if (kStringTable[i].text == kStringTable[j].text) return false;
            if (kStringTable[i].stringId == kStringTable[j].stringId) return false;
        }
    }
    return true;
}
static_assert(OneEntryPerText(), "a text has no string-table entry, or two, or shares one");

constexpr std::array<UINT, kTextCount> StringIdsByText() {
    std::array<UINT, kTextCount> ids{};
    for (const TableText& entry : kStringTable) ids[static_cast<std::size_t>(entry.text)] = entry.stringId;
    return ids;
}
constexpr std::array<UINT, kTextCount> kStringIds = StringIdsByText();

// The texts are Windows-1251 everywhere in the agent. LoadStringA converts with
// the process ANSI code page, not with the thread locale: under Wine 8 it gives
// the 1251 bytes with a Russian Unix locale whether or not SetThreadLocale(1049)
// ran, and '?' for every letter under C or C.UTF-8, again either way. After
// SetThreadLocale(1049) the thread's ANSI code page is 1251, so converting the
// UTF-16 entry to 1251 ourselves gives the intended bytes under any locale.
constexpr UINT kTextCodePage = 1251;

}  // namespace

std::string LoadTableText(HMODULE module, UINT id) {
    const wchar_t* entry = nullptr;
    // With a zero buffer size LoadStringW hands out a read-only pointer into
    // the resource itself; the entry is not NUL-terminated.
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&entry), 0);
    if (length <= 0 || entry == nullptr) return {};
    const int size = WideCharToMultiByte(kTextCodePage, 0, entry, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(kTextCodePage, 0, entry, length, text.data(), size, nullptr, nullptr);
    return text;
}

UINT StringId(TextId id) { return kStringIds[static_cast<std::size_t>(id)]; }

std::string LoadText(HMODULE module, TextId id) {
    std::string loaded = LoadTableText(module, StringId(id));
    return loaded.empty() ? DefaultText(id) : loaded;
}

Texts LoadTexts(HMODULE module) {
    Texts texts;
    for (const TableText& entry : kStringTable) {
        std::string loaded = LoadTableText(module, entry.stringId);
        if (!loaded.empty()) texts[entry.text] = std::move(loaded);
    }
    return texts;
}

}  // namespace kov
