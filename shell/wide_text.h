#pragma once
// The one place where the agent's Windows-1251 texts meet the system's UTF-16:
// everything handed to a "W" function goes through here, whatever the ANSI
// code page of the Windows the agent runs on. Pure functions, any thread.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kov {

constexpr unsigned kAgentCodePage = 1251;

// A UTF-16 text for the "W" functions, always NUL-terminated. A type of its
// own: std::wstring would link the library's whole wide-string code (35 KiB)
// into the executable.
class WideText {
public:
    WideText() : chars_(1, L'\0') {}
    explicit WideText(std::wstring_view text);

    const wchar_t* c_str() const { return chars_.data(); }
    std::size_t size() const { return chars_.size() - 1; }
    int length() const { return static_cast<int>(size()); }
    bool empty() const { return size() == 0; }
    std::wstring_view view() const { return {c_str(), size()}; }
    bool operator==(const WideText& other) const { return chars_ == other.chars_; }
    bool operator!=(const WideText& other) const { return chars_ != other.chars_; }

private:
    std::vector<wchar_t> chars_;
};

// Windows-1251 bytes as UTF-16; every byte has a character, so nothing is lost.
WideText WideFrom1251(std::string_view text);

// UTF-16 as Windows-1251 bytes; nullopt when some character has no exact 1251
// form (no look-alike is substituted: "ą" does not become "a").
std::optional<std::string> NarrowTo1251(std::wstring_view text);

}  // namespace kov
