#pragma once
// The one place where the agent's byte strings meet Windows' UTF-16, for the
// network code and the shell alike. The service's and the agent's texts are
// Windows-1251 (an explicit code page, whatever the system's ANSI one is);
// paths cross the core as UTF-8, so any folder name survives. Pure functions,
// any thread, except the file reading at the end.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kov {

// UTF-16 text. Traits of its own keep out libstdc++'s prebuilt std::wstring,
// which is linked whole (35 KiB of the agent); only what is used is compiled.
struct WideCharTraits : std::char_traits<wchar_t> {};
using WideString = std::basic_string<wchar_t, WideCharTraits>;
using WideView = std::basic_string_view<wchar_t, WideCharTraits>;

constexpr UINT kAgentCodePage = 1251;

WideString WideFromUtf8(std::string_view text);
std::string Utf8FromWide(const WideString& text);

// Windows-1251 bytes as UTF-16; every byte has a character, so nothing is lost.
WideString WideFrom1251(std::string_view text);

// UTF-16 as Windows-1251 bytes; nullopt when some character has no exact 1251
// form (no look-alike is substituted: "ą" does not become "a").
std::optional<std::string> NarrowTo1251(WideView text);

// The form that file functions take at any length: an absolute path of
// MAX_PATH characters or more gets the "\\?\" (or "\\?\UNC\") prefix; shorter
// and relative paths stay as they are.
WideString ExtendedLengthPath(const WideString& path);

// The full path of a loaded module (nullptr: the running program), at any
// length; none when Windows cannot give it.
std::optional<WideString> ModuleFilePath(HMODULE module);

// The whole file named by a UTF-8 path, at any length; "" when it cannot be read.
std::string ReadWholeFileByUtf8Path(const std::string& path);

}  // namespace kov
