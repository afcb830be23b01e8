#include "tests/shell/resources/resource_module.h"

#include <utility>

namespace kov::test {
namespace {

std::wstring& AgentPathStorage() {
    static std::wstring path;
    return path;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

}  // namespace

const std::wstring& AgentPath() { return AgentPathStorage(); }

void SetAgentPath(std::wstring path) { AgentPathStorage() = std::move(path); }

UniqueModule OpenForResources(const std::wstring& path) {
    return UniqueModule(::LoadLibraryExW(path.c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

std::optional<std::vector<uint8_t>> ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name,
                                                  WORD language) {
    HRSRC found = ::FindResourceExW(module, type, name, language);
    if (!found) return std::nullopt;
    HGLOBAL loaded = ::LoadResource(module, found);
    const auto* data = static_cast<const uint8_t*>(::LockResource(loaded));
    const DWORD size = ::SizeofResource(module, found);
    if (!data) return std::nullopt;
    return std::vector<uint8_t>(data, data + size);
}

std::vector<WORD> ResourceLanguages(HMODULE module, LPCWSTR type, LPCWSTR name) {
    std::vector<WORD> languages;
    ::EnumResourceLanguagesW(module, type, name, CollectLanguage,
                             reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

std::string Cp1251(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(1251, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(1251, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                          nullptr, nullptr);
    return bytes;
}

}  // namespace kov::test
