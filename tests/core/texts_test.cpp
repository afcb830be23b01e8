// The compiled-in Windows-1251 texts, checked against the C library's own
// conversion of the same Russian texts.
#include "core/texts.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace kov {
namespace {

// UTF-8 to Windows-1251 through iconv; "<iconv failed>" on any error.
std::string ToCp1251(const std::string& utf8) {
    iconv_t converter = iconv_open("CP1251", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) return "<iconv failed>";
    std::string in = utf8;
    std::string out(utf8.size(), '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    const size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return "<iconv failed>";
    out.resize(out.size() - outLeft);
    return out;
}

struct Expected {
    TextId id;
    const char* utf8;
};

const Expected kTable[] = {
    {TextId::Online, "Онлайн"},
    {TextId::Offline, "Оффлайн"},
    {TextId::Away, "Отошел"},
    {TextId::NewMessages, "Новых сообщений "},
    {TextId::Close, "Закрыть"},
    {TextId::SignOut, "Выйти"},
    {TextId::About, "О программе..."},
    {TextId::BadLogin, "Неверный логин/пароль"},
    {TextId::Authorization, "Авторизация"},
    {TextId::SignIn, "Вход"},
    {TextId::UnexpectedError, "Непредвиденная ошибка"},
    {TextId::ConnectFailed, "Не удалось установить соединение с сервером"},
    {TextId::NotSignedIn, "Вы не вошли"},
    {TextId::UpdateNotAuthentic, "Обновление не прошло проверку подлинности и не будет установлено"},
    {TextId::LoginNotRepresentable,
     "Логин и пароль могут содержать только русские и латинские буквы, цифры и знаки препинания"},
    {TextId::NewMessagesBalloon, "Новых сообщений: "},
};

TEST(DefaultText, EveryTextIsItsWindows1251Bytes) {
    for (const auto& expected : kTable) {
        EXPECT_EQ(DefaultText(expected.id), ToCp1251(expected.utf8)) << expected.utf8;
    }
    EXPECT_EQ(kUpdateQuestion, ToCp1251("Ваша версия агента устарела, установить новый агент?"));
}

TEST(DefaultText, ValuesThatNameNoTextGiveNothing) {
    for (int beyond : {static_cast<int>(kTextCount), 129, -1}) {
        EXPECT_STREQ(DefaultText(static_cast<TextId>(beyond)), "") << beyond;
    }
}

TEST(Texts, StartAsTheDefaultsAndChangeOneAtATime) {
    Texts texts;
    for (const auto& expected : kTable) EXPECT_EQ(texts[expected.id], DefaultText(expected.id));
    texts[TextId::Away] = "x";
    texts[TextId::LoginNotRepresentable] = "y";
    EXPECT_EQ(texts[TextId::Away], "x");
    EXPECT_EQ(texts[TextId::LoginNotRepresentable], "y");
    EXPECT_EQ(texts[TextId::NotSignedIn], DefaultText(TextId::NotSignedIn));
    EXPECT_EQ(texts[TextId::Online], DefaultText(TextId::Online));
    EXPECT_EQ(texts[TextId::NewMessages], DefaultText(TextId::NewMessages));
    texts[TextId::NewMessagesBalloon] = "y";
    EXPECT_EQ(texts[TextId::NewMessagesBalloon], "y");
    EXPECT_EQ(texts[TextId::LoginNotRepresentable], "y") << "the entry before it";
}

}  // namespace
}  // namespace kov
