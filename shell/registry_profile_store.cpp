#include "shell/registry_profile_store.h"

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "core/diagnostic_lines.h"
#include "winsupport/handles.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

// Key names are UTF-8, so an executable named in any script finds its key.
UniqueKey OpenKey(const std::string& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, WideFromUtf8(path).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return UniqueKey();
    return UniqueKey(key);
}

// The key opened for setting values, made with the keys above it as needed.
LSTATUS CreateKey(const std::string& path, UniqueKey& key) {
    HKEY created = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, WideFromUtf8(path).c_str(), 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS) key.Reset(created);
    return status;
}

// The value's name only: the value may be the token.
void LogFailure(DiagnosticLog& log, const char* call, const std::string& name, LSTATUS status) {
    LogLine what;
    what << "registry: " << call << " for value ";
    what.Quoted(name);
    log.Write(WindowsFailureLine(what, static_cast<std::uint32_t>(status)));
}

}  // namespace

RegistryProfileStore::RegistryProfileStore(std::string registryKey, std::string applicationName)
    : registryKey_(std::move(registryKey)), applicationName_(std::move(applicationName)) {}

std::string RegistryProfileStore::SectionPath(const std::string& section) const {
    return "Software\\" + registryKey_ + "\\" + applicationName_ + "\\" + section;
}

std::string RegistryProfileStore::ReadString(const std::string& section, const std::string& name) {
    const UniqueKey key = OpenKey(SectionPath(section));
    if (!key) return {};
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ || size == 0) {
        return {};
    }
    std::vector<char> buffer(size + 1, '\0');  // room for a terminator the value may lack
    if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return std::string(buffer.data());  // up to the first NUL
}

void RegistryProfileStore::WriteString(const std::string& section, const std::string& name,
                                       const std::string& value) {
    UniqueKey key;
    const LSTATUS created = CreateKey(SectionPath(section), key);
    if (created != ERROR_SUCCESS) return LogFailure(*log_, "RegCreateKeyEx", name, created);
    const LSTATUS set = ::RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(value.c_str()),
                                         static_cast<DWORD>(value.size() + 1));
    if (set != ERROR_SUCCESS) LogFailure(*log_, "RegSetValueEx", name, set);
}

void RegistryProfileStore::SetDiagnosticLog(std::shared_ptr<DiagnosticLog> log) { log_ = std::move(log); }

std::string ApplicationNameOf(const std::string& executablePath) {
    const std::size_t slash = executablePath.find_last_of("\\/");
    std::string name = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

}  // namespace kov
