#include "shell/registry_profile_store.h"

#include <windows.h>

#include <optional>
#include <string_view>
#include <utility>

#include "core/diagnostic_lines.h"
#include "core/wipe.h"
#include "winsupport/handles.h"
#include "winsupport/user_secret.h"
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
void LogFailure(DiagnosticLog& log, const char* call, const std::string& name, DWORD error) {
    LogLine what;
    what << "registry: " << call << " for value ";
    what.Quoted(name);
    log.Write(WindowsFailureLine(what, error));
}

struct StoredValue {
    DWORD type = REG_NONE;
    std::string bytes;
};

// The value as stored; nullopt when it is absent or cannot be read.
std::optional<StoredValue> ReadValue(const std::string& path, const std::string& name) {
    const UniqueKey key = OpenKey(path);
    if (!key) return std::nullopt;
    StoredValue value;
    DWORD size = 0;
    if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(size);
    if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(value.bytes.data()),
                           &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(size);
    return value;
}

// A string value's text, up to its first NUL (which the value may lack).
std::string TextOf(const StoredValue& value) {
    if (value.type != REG_SZ) return {};
    return value.bytes.substr(0, value.bytes.find('\0'));
}

}  // namespace

RegistryProfileStore::RegistryProfileStore(std::string registryKey, std::string applicationName)
    : registryKey_(std::move(registryKey)), applicationName_(std::move(applicationName)) {}

std::string RegistryProfileStore::SectionPath(const std::string& section) const {
    return "Software\\" + registryKey_ + "\\" + applicationName_ + "\\" + section;
}

std::string RegistryProfileStore::ReadString(const std::string& section, const std::string& name) {
    const std::optional<StoredValue> value = ReadValue(SectionPath(section), name);
    return value ? TextOf(*value) : std::string();
}

void RegistryProfileStore::WriteString(const std::string& section, const std::string& name,
                                       const std::string& value) {
    WriteValue(section, name, REG_SZ, std::string_view(value.c_str(), value.size() + 1));
}

// A plain string is what versions before DPAPI stored: it is encrypted at once.
std::string RegistryProfileStore::ReadSecret(const std::string& section, const std::string& name) {
    std::optional<StoredValue> value = ReadValue(SectionPath(section), name);
    if (!value) return {};
    std::string secret = value->type == REG_BINARY ? UnprotectForUser(value->bytes).value_or("") : TextOf(*value);
    if (value->type == REG_SZ && !secret.empty()) WriteSecret(section, name, secret);
    WipeText(value->bytes);
    return secret;
}

// An empty secret is stored as an empty string: there is nothing to hide.
// One that cannot be encrypted is not stored at all, and an older one is emptied.
void RegistryProfileStore::WriteSecret(const std::string& section, const std::string& name,
                                       const std::string& value) {
    if (value.empty()) return WriteString(section, name, value);
    const std::optional<std::string> sealed = ProtectForUser(value);
    if (!sealed) {
        LogFailure(*log_, "CryptProtectData", name, ::GetLastError());
        return WriteString(section, name, "");
    }
    WriteValue(section, name, REG_BINARY, *sealed);
}

void RegistryProfileStore::WriteValue(const std::string& section, const std::string& name, DWORD type,
                                      std::string_view bytes) {
    UniqueKey key;
    const LSTATUS created = CreateKey(SectionPath(section), key);
    if (created != ERROR_SUCCESS) return LogFailure(*log_, "RegCreateKeyEx", name, created);
    const LSTATUS set = ::RegSetValueExA(key.Get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                         static_cast<DWORD>(bytes.size()));
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
