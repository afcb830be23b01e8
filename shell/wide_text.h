#pragma once
// The one place where the agent's Windows-1251 texts meet the system's UTF-16:
// everything handed to a "W" function goes through here, whatever the ANSI
// code page of the Windows the agent runs on. Pure functions, any thread.
#include <optional>
#include <string>
#include <string_view>

namespace kov {

constexpr unsigned kAgentCodePage = 1251;

// Windows-1251 bytes as UTF-16; every byte has a character, so nothing is lost.
std::wstring WideFrom1251(std::string_view text);

// UTF-16 as Windows-1251 bytes; nullopt when some character has no exact 1251
// form (no look-alike is substituted: "ą" does not become "a").
std::optional<std::string> NarrowTo1251(std::wstring_view text);

}  // namespace kov
