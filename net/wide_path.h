#pragma once
// Text and paths between the agent's byte strings and Windows' UTF-16. Paths
// cross the core as UTF-8, so any folder name survives; the service's texts
// (the installer URL among them) are Windows-1251.
#include <windows.h>

#include <optional>
#include <string>

namespace kov {

// UTF-16 text. Traits of its own keep out libstdc++'s prebuilt std::wstring,
// which is linked whole (35 KiB of the agent); only what is used is compiled.
struct WideCharTraits : std::char_traits<wchar_t> {};
using WideString = std::basic_string<wchar_t, WideCharTraits>;

WideString WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const WideString& text);
WideString WideFromCp1251(const std::string& text);

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
