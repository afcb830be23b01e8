#include "shell/texts_loader.h"

namespace kov {
namespace {

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

std::string LoadText(HMODULE module, TextId id) {
    std::string loaded = LoadTableText(module, static_cast<UINT>(id));
    return loaded.empty() ? DefaultText(id) : loaded;
}

Texts LoadTexts(HMODULE module) {
    Texts texts;
    for (const TextId id : kTextLoadOrder) {
        std::string loaded = LoadTableText(module, static_cast<UINT>(id));
        if (!loaded.empty()) texts[id] = std::move(loaded);
    }
    return texts;
}

}  // namespace kov
