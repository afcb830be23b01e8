#include "net/wide_path.h"

#include "net/win_handle.h"

namespace kov {
namespace {

constexpr UINT kCp1251 = 1251;
// GetModuleFileNameW's limit for the "\\?\" form of a path.
constexpr DWORD kLongestPath = 32768;

WideString Widen(UINT codePage, const std::string& text) {
    if (text.empty()) return {};
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    WideString wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

}  // namespace

WideString WideFromUtf8(const std::string& text) { return Widen(CP_UTF8, text); }

WideString WideFromCp1251(const std::string& text) { return Widen(kCp1251, text); }

std::string Utf8FromWide(const WideString& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size <= 0) return {};
    std::string narrow(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                          nullptr);
    return narrow;
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
    const FileHandle file(::CreateFileW(ExtendedLengthPath(WideFromUtf8(path)).c_str(), GENERIC_READ,
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
