#include "core/texts.h"

namespace kov {
namespace {

// Converts readable UTF-8 source text to Windows-1251 while compiling. Only the
// characters the agent's texts use are mapped (ASCII, the Russian alphabet
// with Ё/ё); anything else fails the build through `ok`.
template <std::size_t N>
struct Cp1251 {
    std::array<char, N> bytes{};  // NUL-terminated, possibly followed by more NULs
    bool ok = true;

    constexpr const char* c_str() const { return bytes.data(); }
};

constexpr char ToCp1251Char(unsigned codePoint, bool& ok) {
    if (codePoint < 0x80) return static_cast<char>(codePoint);
    if (codePoint >= 0x410 && codePoint <= 0x44F) return static_cast<char>(codePoint - 0x410 + 0xC0);
    if (codePoint == 0x401) return static_cast<char>(0xA8);
    if (codePoint == 0x451) return static_cast<char>(0xB8);
    ok = false;
    return '?';
}

template <std::size_t N>
constexpr Cp1251<N> ToCp1251(const char (&utf8)[N]) {
    Cp1251<N> out;
    std::size_t written = 0;
    for (std::size_t i = 0; i + 1 < N;) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        unsigned codePoint = lead;
        const auto next = i + 2 < N ? static_cast<unsigned char>(utf8[i + 1]) : 0u;
        if (lead >= 0xC0 && lead < 0xE0 && (next & 0xC0u) == 0x80u) {
            codePoint = ((lead & 0x1Fu) << 6) | (next & 0x3Fu);
            i += 2;
        } else if (lead < 0x80) {
            i += 1;
        } else {
            out.ok = false;  // three- and four-byte sequences are outside Windows-1251's letters
            i += 1;
        }
        out.bytes[written++] = ToCp1251Char(codePoint, out.ok);
    }
    return out;
}

// u8 literals keep the source readable and independent of the compiler's
// execution character set.
constexpr auto kOnline = ToCp1251(u8"Онлайн");
constexpr auto kOffline = ToCp1251(u8"Оффлайн");
constexpr auto kAway = ToCp1251(u8"Отошел");
constexpr auto kNewMessages = ToCp1251(u8"Новых сообщений ");  // the count follows the blank
constexpr auto kClose = ToCp1251(u8"Закрыть");
constexpr auto kSignOut = ToCp1251(u8"Выйти");
constexpr auto kAbout = ToCp1251(u8"О программе...");
constexpr auto kBadLogin = ToCp1251(u8"Неверный логин/пароль");
constexpr auto kAuthorization = ToCp1251(u8"Авторизация");
constexpr auto kSignIn = ToCp1251(u8"Вход");
constexpr auto kUnexpectedError = ToCp1251(u8"Непредвиденная ошибка");
constexpr auto kConnectFailed = ToCp1251(u8"Не удалось установить соединение с сервером");
constexpr auto kNotSignedIn = ToCp1251(u8"Вы не вошли");
constexpr auto kUpdateNotAuthentic =
    ToCp1251(u8"Обновление не прошло проверку подлинности и не будет установлено");
constexpr auto kLoginNotRepresentable = ToCp1251(
    u8"Логин и пароль могут содержать только русские и латинские буквы, цифры и знаки препинания");
constexpr auto kNewMessagesBalloon = ToCp1251(u8"Новых сообщений: ");  // the count follows the blank
constexpr auto kNoConnectionSince = ToCp1251(u8"Нет связи с сервером с ");  // the time follows the blank
constexpr auto kTrayIconHint = ToCp1251(
    u8"Значок агента может прятаться под стрелкой рядом с часами. Чтобы он всегда был на панели задач, "
    u8"перетащите его оттуда на панель или включите его в параметрах панели задач.");
constexpr auto kTextTooLong = ToCp1251(u8"Не более 32 символов");
constexpr auto kOpenConsultPage = ToCp1251(u8"Открыть страницу консультаций");
constexpr auto kUpdateQuestionText = ToCp1251(u8"Ваша версия агента устарела, установить новый агент?");

static_assert(kOnline.ok && kOffline.ok && kAway.ok && kNewMessages.ok && kClose.ok &&
                  kSignOut.ok && kAbout.ok && kBadLogin.ok && kAuthorization.ok && kSignIn.ok &&
                  kUnexpectedError.ok && kConnectFailed.ok && kNotSignedIn.ok &&
                  kUpdateNotAuthentic.ok && kLoginNotRepresentable.ok && kNewMessagesBalloon.ok &&
                  kNoConnectionSince.ok && kTrayIconHint.ok && kTextTooLong.ok && kOpenConsultPage.ok &&
                  kUpdateQuestionText.ok,
              "a text has a character outside Windows-1251's Russian letters");

struct DefaultEntry {
    TextId id;
    const char* text;
};

// In the order of the ids, so that an id is its entry's position.
constexpr std::array<DefaultEntry, kTextCount> kDefaults = {{
    {TextId::Online, kOnline.c_str()},
    {TextId::Offline, kOffline.c_str()},
    {TextId::Away, kAway.c_str()},
    {TextId::NewMessages, kNewMessages.c_str()},
    {TextId::Close, kClose.c_str()},
    {TextId::SignOut, kSignOut.c_str()},
    {TextId::About, kAbout.c_str()},
    {TextId::BadLogin, kBadLogin.c_str()},
    {TextId::Authorization, kAuthorization.c_str()},
    {TextId::SignIn, kSignIn.c_str()},
    {TextId::UnexpectedError, kUnexpectedError.c_str()},
    {TextId::ConnectFailed, kConnectFailed.c_str()},
    {TextId::NotSignedIn, kNotSignedIn.c_str()},
    {TextId::UpdateNotAuthentic, kUpdateNotAuthentic.c_str()},
    {TextId::LoginNotRepresentable, kLoginNotRepresentable.c_str()},
    {TextId::NewMessagesBalloon, kNewMessagesBalloon.c_str()},
    {TextId::NoConnectionSince, kNoConnectionSince.c_str()},
    {TextId::TrayIconHint, kTrayIconHint.c_str()},
    {TextId::TextTooLong, kTextTooLong.c_str()},
    {TextId::OpenConsultPage, kOpenConsultPage.c_str()},
}};

constexpr std::size_t IndexOf(TextId id) { return static_cast<std::size_t>(id); }

constexpr bool EachIdAtItsPosition() {
    for (std::size_t i = 0; i < kDefaults.size(); ++i) {
        if (IndexOf(kDefaults[i].id) != i) return false;
    }
    return true;
}
static_assert(EachIdAtItsPosition(), "kDefaults is not in the order of the ids");

}  // namespace

const char* DefaultText(TextId id) {
    const std::size_t index = IndexOf(id);
    return index < kDefaults.size() ? kDefaults[index].text : "";
}

Texts::Texts() {
    for (std::size_t i = 0; i < kTextCount; ++i) texts_[i] = kDefaults[i].text;
}

const std::string& Texts::operator[](TextId id) const { return texts_[IndexOf(id)]; }

std::string& Texts::operator[](TextId id) { return texts_[IndexOf(id)]; }

const char* const kCaption = "Kovarentis ";
const char* const kUpdateQuestion = kUpdateQuestionText.c_str();
const char* const kTooltipFormat = "%s: %s";
const char* const kTooltipCountFormat = "%s: %s%d";
const char* const kBalloonCountFormat = "%s%d";
const char* const kInstallerFileName = "KovarentisSetup.exe";

}  // namespace kov
