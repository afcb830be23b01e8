#include "net/signature_api.h"

#include "core/diagnostic_lines.h"

namespace kov {
namespace {

// On failure `missing` names the function; GetProcAddress's error stays the
// thread's last one.
template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function, const char*& missing) {
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
    if (!function) missing = name;
    return function != nullptr;
}

// The library's own dependencies are looked for beside it (in its folder
// first) rather than in the program's folder.
UniqueModule LoadFrom(const WideString& folder, const wchar_t* name) {
    return UniqueModule(::LoadLibraryExW((folder + L"\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

// Called right after the failed call, before anything can change its error.
SignatureApiLoad Failed(const char* call, const char* what) {
    const DWORD error = ::GetLastError();
    return SignatureApiLoad{std::nullopt, call, what, error};
}

SignatureApiLoad LoadFromSystemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return Failed("GetSystemDirectory", "for the libraries");
    return LoadSignatureApi(WideString(folder, length));
}

}  // namespace

SignatureApiLoad LoadSignatureApi(const WideString& folder) {
    UniqueModule crypt32 = LoadFrom(folder, L"crypt32.dll");
    if (!crypt32) return Failed("LoadLibraryEx", "crypt32.dll");
    UniqueModule wintrust = LoadFrom(folder, L"wintrust.dll");
    if (!wintrust) return Failed("LoadLibraryEx", "wintrust.dll");
    const HMODULE c = crypt32.Get();
    SignatureApi api = {};
    const char* missing = nullptr;
    const bool resolved = Resolve(c, "CryptQueryObject", api.CryptQueryObject, missing) &&
                          Resolve(c, "CryptMsgGetParam", api.CryptMsgGetParam, missing) &&
                          Resolve(c, "CryptMsgClose", api.CryptMsgClose, missing) &&
                          Resolve(c, "CertFindCertificateInStore", api.CertFindCertificateInStore, missing) &&
                          Resolve(c, "CertFreeCertificateContext", api.CertFreeCertificateContext, missing) &&
                          Resolve(c, "CertCloseStore", api.CertCloseStore, missing) &&
                          Resolve(c, "CertGetCertificateChain", api.CertGetCertificateChain, missing) &&
                          Resolve(c, "CertFreeCertificateChain", api.CertFreeCertificateChain, missing) &&
                          Resolve(c, "CertCompareCertificateName", api.CertCompareCertificateName, missing) &&
                          Resolve(wintrust.Get(), "WinVerifyTrust", api.WinVerifyTrust, missing);
    if (!resolved) return Failed("GetProcAddress", missing);
    crypt32.Release();
    wintrust.Release();
    return SignatureApiLoad{api};
}

void LogLoadFailure(const SignatureApiLoad& load, DiagnosticLog& log) {
    if (load.api) return;
    LogLine what;
    what << "signature check: " << load.failedCall << " " << load.failedFor;
    log.Write(WindowsFailureLine(what, load.error));
}

const SignatureApiLoad& SystemSignatureLoad() {
    static const SignatureApiLoad load = LoadFromSystemFolder();
    return load;
}

const SignatureApi* SystemSignatureApi() {
    const SignatureApiLoad& load = SystemSignatureLoad();
    return load.api ? &*load.api : nullptr;
}

}  // namespace kov
