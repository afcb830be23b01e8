#include "winsupport/user_secret.h"

#include <windows.h>
#include <wincrypt.h>

#include "core/wipe.h"
#include "winsupport/handles.h"
#include "winsupport/system_library.h"

namespace kov {
namespace {

using ProtectFunction = BOOL(WINAPI*)(DATA_BLOB*, LPCWSTR, DATA_BLOB*, PVOID, CRYPTPROTECT_PROMPTSTRUCT*, DWORD,
                                      DATA_BLOB*);
using UnprotectFunction = BOOL(WINAPI*)(DATA_BLOB*, LPWSTR*, DATA_BLOB*, PVOID, CRYPTPROTECT_PROMPTSTRUCT*, DWORD,
                                        DATA_BLOB*);

DATA_BLOB BlobOf(const std::string& bytes) {
    return DATA_BLOB{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

// The system's output copied out and wiped before it is freed: it may be the secret.
std::string TakeOutput(DATA_BLOB& output) {
    std::string bytes(reinterpret_cast<const char*>(output.pbData), output.cbData);
    volatile BYTE* const data = output.pbData;
    for (DWORD i = 0; i < output.cbData; ++i) data[i] = 0;
    ::LocalFree(output.pbData);
    return bytes;
}

// The current user's key only; never a prompt.
template <typename Function>
std::optional<std::string> Transform(const char* functionName, const std::string& input) {
    const UniqueModule crypt32(LoadSystemLibrary(L"crypt32.dll"));
    if (!crypt32) return std::nullopt;
    const auto transform = reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(crypt32.Get(), functionName)));
    DATA_BLOB in = BlobOf(input);
    DATA_BLOB out{};
    if (!transform || !transform(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) {
        return std::nullopt;
    }
    return TakeOutput(out);
}

}  // namespace

std::optional<std::string> ProtectForUser(const std::string& secret) {
    return Transform<ProtectFunction>("CryptProtectData", secret);
}

std::optional<std::string> UnprotectForUser(const std::string& sealed) {
    return Transform<UnprotectFunction>("CryptUnprotectData", sealed);
}

}  // namespace kov
