#pragma once
// Access to the resources of a built executable for the resource tests.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "winsupport/handles.h"

namespace kov::test {

constexpr WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);   // 1049
constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033

// Kovarentis.exe of this build (first command-line argument of the test).
const std::wstring& AgentPath();
void SetAgentPath(std::wstring path);

// The executable mapped as a data file: resources only, no code runs.
UniqueModule OpenForResources(const std::wstring& path);

// The bytes of one resource (the system may fall back to another language);
// none when it is absent.
std::optional<std::vector<uint8_t>> ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name,
                                                  WORD language);

// Every language in which the module carries this resource.
std::vector<WORD> ResourceLanguages(HMODULE module, LPCWSTR type, LPCWSTR name);

// UTF-16 text as Windows-1251 bytes, converted by the system.
std::string Cp1251(const std::wstring& text);

// Little-endian reads; the caller checks the bounds.
inline uint16_t Word(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline uint32_t Dword(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(Word(b, at)) | static_cast<uint32_t>(Word(b, at + 2)) << 16;
}

}  // namespace kov::test
