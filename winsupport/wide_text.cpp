#include "winsupport/wide_text.h"

#include "winsupport/handles.h"

namespace kov {
namespace {

// GetModuleFileNameW's limit for the "\\?\" form of a path.
constexpr DWORD kLongestPath = 32768;

WideString Widen(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    WideString wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// Nullopt when Windows substituted a character (reported through usedDefault,
// which UTF-8 does not take: there every character has a form).
std::optional<std::string> Narrow(UINT codePage, DWORD flags, BOOL* usedDefault, WideView text) {
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, usedDefault);
    if (size <= 0 || (usedDefault && *usedDefault)) return std::nullopt;
    std::string narrow(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), length, narrow.data(), size, nullptr, usedDefault);
    if (usedDefault && *usedDefault) return std::nullopt;
    return narrow;
}

}  // namespace

WideString WideFromUtf8(std::string_view text) { return Widen(CP_UTF8, text); }

WideString WideFrom1251(std::string_view text) { return Widen(kAgentCodePage, text); }

std::string Utf8FromWide(const WideString& text) {
    return Narrow(CP_UTF8, 0, nullptr, text).value_or(std::string());
}

std::optional<std::string> NarrowTo1251(WideView text) {
    BOOL usedDefault = FALSE;
    return Narrow(kAgentCodePage, WC_NO_BEST_FIT_CHARS, &usedDefault, text);
}

WideString ExtendedLengthPath(const WideString& path) {
    if (path.size() < MAX_PATH || path.compare(0, 4, L"\\\\?\\") == 0) return path;
    if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    const bool driveAbsolute = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
    return driveAbsolute ? L"\\\\?\\" + path : path;
}

std::optional<WideString> ModuleFilePath(HMODULE module) {
    WideString buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(module, buffer.data(), size);
        if (length == 0) return std::nullopt;
        // A full buffer may hold a cut path (and no terminator on older systems).
        if (length < size - 1) {
            buffer.resize(length);
            return buffer;
        }
        if (size >= kLongestPath) return std::nullopt;
        buffer.resize(size * 2);
    }
}

std::string ReadWholeFileByUtf8Path(const std::string& path) {
    const UniqueFile file(::CreateFileW(ExtendedLengthPath(WideFromUtf8(path)).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
    return content;
}

}  // namespace kov
