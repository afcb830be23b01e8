#include "net/trusted_servers.h"

#include <utility>

#include "winsupport/handles.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

constexpr DWORD kTrusted = 1;

}  // namespace

TrustedServers::TrustedServers(std::string keyPath) : keyPath_(std::move(keyPath)) {}

bool TrustedServers::Known(const std::string& host) const {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, WideFromUtf8(keyPath_).c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS) {
        return false;
    }
    const UniqueKey key(opened);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    return ::RegQueryValueExA(key.Get(), host.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && value == kTrusted;
}

void TrustedServers::Remember(const std::string& host) const {
    HKEY created = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, WideFromUtf8(keyPath_).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, &created, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const UniqueKey key(created);
    ::RegSetValueExA(key.Get(), host.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kTrusted), sizeof(kTrusted));
}

}  // namespace kov
