#include "net/signature_api.h"

namespace kov {
namespace {

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
    return function != nullptr;
}

// The library's own dependencies are looked for beside it (in its folder
// first) rather than in the program's folder.
UniqueModule LoadFrom(const WideString& folder, const wchar_t* name) {
    return UniqueModule(::LoadLibraryExW((folder + L"\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

std::optional<WideString> SystemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    return WideString(folder, length);
}

std::optional<SignatureApi> LoadFromSystemFolder() {
    const std::optional<WideString> folder = SystemFolder();
    if (!folder) return std::nullopt;
    return LoadSignatureApi(*folder);
}

}  // namespace

std::optional<SignatureApi> LoadSignatureApi(const WideString& folder) {
    UniqueModule crypt32 = LoadFrom(folder, L"crypt32.dll");
    UniqueModule wintrust = LoadFrom(folder, L"wintrust.dll");
    if (!crypt32 || !wintrust) return std::nullopt;
    const HMODULE c = crypt32.Get();
    SignatureApi api = {};
    const bool resolved = Resolve(c, "CryptQueryObject", api.CryptQueryObject) &&
                          Resolve(c, "CryptMsgGetParam", api.CryptMsgGetParam) &&
                          Resolve(c, "CryptMsgClose", api.CryptMsgClose) &&
                          Resolve(c, "CertFindCertificateInStore", api.CertFindCertificateInStore) &&
                          Resolve(c, "CertFreeCertificateContext", api.CertFreeCertificateContext) &&
                          Resolve(c, "CertCloseStore", api.CertCloseStore) &&
                          Resolve(c, "CertGetCertificateChain", api.CertGetCertificateChain) &&
                          Resolve(c, "CertFreeCertificateChain", api.CertFreeCertificateChain) &&
                          Resolve(c, "CertCompareCertificateName", api.CertCompareCertificateName) &&
                          Resolve(wintrust.Get(), "WinVerifyTrust", api.WinVerifyTrust);
    if (!resolved) return std::nullopt;
    crypt32.Release();
    wintrust.Release();
    return api;
}

const SignatureApi* SystemSignatureApi() {
    static const std::optional<SignatureApi> api = LoadFromSystemFolder();
    return api ? &*api : nullptr;
}

}  // namespace kov
