// The string table of Kovarentis.exe, the compiled-in copies of its texts and
// the loader that puts the two together.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/texts.h"
#include "shell/res/resource.h"
#include "shell/texts_loader.h"
#include "tests/shell/resources/resource_module.h"

namespace kov::test {
namespace {

struct ExpectedText {
    TextId id;
    int resourceId;
    const wchar_t* text;
};

// The texts as the consultant must see them.
const ExpectedText kExpected[] = {
    {TextId::Online, IDS_ONLINE, L"Онлайн"},
    {TextId::Offline, IDS_OFFLINE, L"Оффлайн"},
    {TextId::Away, IDS_AWAY, L"Отошел"},
    {TextId::NewMessages, IDS_NEW_MESSAGES, L"Новых сообщений "},
    {TextId::Close, IDS_CLOSE, L"Закрыть"},
    {TextId::SignOut, IDS_SIGN_OUT, L"Выйти"},
    {TextId::About, IDS_ABOUT, L"О программе..."},
    {TextId::BadLogin, IDS_BAD_LOGIN, L"Неверный логин/пароль"},
    {TextId::Authorization, IDS_AUTHORIZATION, L"Авторизация"},
    {TextId::SignIn, IDS_SIGN_IN, L"Вход"},
    {TextId::UnexpectedError, IDS_UNEXPECTED_ERROR, L"Непредвиденная ошибка"},
    {TextId::ConnectFailed, IDS_CONNECT_FAILED, L"Не удалось установить соединение с сервером"},
    {TextId::NotSignedIn, IDS_NOT_SIGNED_IN, L"Вы не вошли"},
    {TextId::UpdateNotAuthentic, IDS_UPDATE_NOT_AUTHENTIC,
     L"Обновление не прошло проверку подлинности и не будет установлено"},
    {TextId::LoginNotRepresentable, IDS_LOGIN_NOT_REPRESENTABLE,
     L"Логин и пароль могут содержать только русские и латинские буквы, цифры и знаки препинания"},
    {TextId::NewMessagesBalloon, IDS_NEW_MESSAGES_BALLOON, L"Новых сообщений: "},
    {TextId::NoConnectionSince, IDS_NO_CONNECTION_SINCE, L"Нет связи с сервером с "},
    {TextId::TrayIconHint, IDS_TRAY_ICON_HINT,
     L"Значок агента может прятаться под стрелкой рядом с часами. Чтобы он всегда был на панели задач, "
     L"перетащите его оттуда на панель или включите его в параметрах панели задач."},
    {TextId::TextTooLong, IDS_TEXT_TOO_LONG, L"Не более 32 символов"},
    {TextId::OpenConsultPage, IDS_OPEN_CONSULT_PAGE, L"Открыть страницу консультаций"},
};

std::wstring TableEntry(HMODULE module, UINT id) {
    const wchar_t* entry = nullptr;
    const int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&entry), 0);
    return length > 0 ? std::wstring(entry, static_cast<size_t>(length)) : std::wstring();
}

class AgentStrings : public ::testing::Test {
protected:
    UniqueModule agent_ = OpenForResources(AgentPath());
    void SetUp() override { ASSERT_TRUE(agent_) << "cannot open the agent executable"; }
};

TEST_F(AgentStrings, TableHoldsEachTextInRussianAndNothingElse) {
    for (const auto& expected : kExpected) {
        EXPECT_EQ(StringId(expected.id), static_cast<UINT>(expected.resourceId));
        EXPECT_EQ(TableEntry(agent_.Get(), expected.resourceId), expected.text)
            << "string " << expected.resourceId;
    }
    // Strings 128..143 share one block of the table, 144..159 the next; 128
    // and 147 are unused.
    for (UINT unused : {128u, 147u}) EXPECT_EQ(TableEntry(agent_.Get(), unused), L"") << unused;
    for (UINT first : {IDS_ONLINE, IDS_NEW_MESSAGES_BALLOON}) {
        const auto block = MAKEINTRESOURCEW(first / 16 + 1);
        EXPECT_EQ(ResourceLanguages(agent_.Get(), RT_STRING, block), std::vector<WORD>{kRussian}) << first;
    }
}

TEST_F(AgentStrings, LoaderGivesWindows1251BytesEqualToTheCompiledInCopies) {
    const Texts texts = LoadTexts(agent_.Get());
    for (const auto& expected : kExpected) {
        const std::string bytes = Cp1251(expected.text);
        EXPECT_EQ(texts[expected.id], bytes) << "string " << expected.resourceId;
        EXPECT_EQ(DefaultText(expected.id), bytes) << "compiled-in copy of " << expected.resourceId;
    }
}

TEST_F(AgentStrings, LoadStringAGivesTheSameBytesUnderTheRussianCodePage) {
    if (::GetACP() != 1251) GTEST_SKIP() << "the system's ANSI code page is not 1251";
    ::SetThreadLocale(MAKELCID(kRussian, SORT_DEFAULT));
    for (const auto& expected : kExpected) {
        char buffer[256] = {};  // a balloon's text takes up to 255
        const int length = ::LoadStringA(agent_.Get(), expected.resourceId, buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)),
                  LoadTableText(agent_.Get(), expected.resourceId));
    }
}

// This test program carries its own string table (fallback_strings.rc): entry
// 129 differs from the agent's text, 130 is empty and every other entry,
// 132 among them, is missing.
TEST(StringFallback, MissingOrEmptyEntriesKeepTheCompiledInCopy) {
    const Texts texts = LoadTexts(::GetModuleHandleW(nullptr));
    EXPECT_EQ(texts[TextId::Online], Cp1251(L"Онлайн (из таблицы)"));
    EXPECT_EQ(texts[TextId::Offline], DefaultText(TextId::Offline));
    EXPECT_EQ(texts[TextId::NewMessages], Cp1251(L"Новых сообщений "));
    for (const auto& expected : kExpected) {
        if (expected.id != TextId::Online) {
            EXPECT_EQ(texts[expected.id], DefaultText(expected.id)) << expected.resourceId;
        }
    }
    EXPECT_EQ(LoadTableText(::GetModuleHandleW(nullptr), IDS_NEW_MESSAGES), "");
}

TEST(CompiledInTexts, UpdateQuestionIsWindows1251) {
    EXPECT_EQ(kUpdateQuestion, Cp1251(L"Ваша версия агента устарела, установить новый агент?"));
}

TEST(CompiledInTexts, TooltipsStartWithTheCaptionAndItsBlank) {
    char tooltip[128];
    std::snprintf(tooltip, sizeof tooltip, kTooltipCountFormat, kCaption,
                  DefaultText(TextId::NewMessages), 3);
    EXPECT_EQ(tooltip, Cp1251(L"Kovarentis : Новых сообщений 3"));
    std::snprintf(tooltip, sizeof tooltip, kTooltipFormat, kCaption, DefaultText(TextId::Offline));
    EXPECT_EQ(tooltip, Cp1251(L"Kovarentis : Оффлайн"));
}

TEST(CompiledInTexts, NewMessageBalloonEndsInTheCount) {
    char balloon[128];
    std::snprintf(balloon, sizeof balloon, kBalloonCountFormat, DefaultText(TextId::NewMessagesBalloon), 3);
    EXPECT_EQ(balloon, Cp1251(L"Новых сообщений: 3"));
}

// A second start looks for the site caption, message boxes carry kCaption.
TEST(CompiledInTexts, SiteCaptionDiffersFromTheMessageBoxCaption) {
    EXPECT_STRNE(KOV_SITE_CAPTION, kCaption);
}

}  // namespace
}  // namespace kov::test
