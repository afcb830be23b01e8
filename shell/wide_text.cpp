#include "shell/wide_text.h"

#include <windows.h>

namespace kov {

WideText::WideText(std::wstring_view text) : chars_(text.begin(), text.end()) {
    chars_.push_back(L'\0');
}

WideText WideFrom1251(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = ::MultiByteToWideChar(kAgentCodePage, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return {};
    std::vector<wchar_t> wide(static_cast<std::size_t>(size));
    ::MultiByteToWideChar(kAgentCodePage, 0, text.data(), length, wide.data(), size);
    return WideText({wide.data(), wide.size()});
}

std::optional<std::string> NarrowTo1251(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(kAgentCodePage, WC_NO_BEST_FIT_CHARS, text.data(), length,
                                           nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string narrow(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(kAgentCodePage, WC_NO_BEST_FIT_CHARS, text.data(), length, narrow.data(),
                          size, nullptr, &usedDefault);
    if (usedDefault) return std::nullopt;
    return narrow;
}

}  // namespace kov
