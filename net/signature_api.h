#pragma once
// The crypt32 and wintrust functions of the installer check, and the owners
// of what they return. Importing them would load both libraries at start, and
// under Wine bcrypt and GnuTLS behind them (about 600 KiB private for the
// whole run), when only the rare downloaded installer needs them; they are
// loaded with the first check instead and then kept for the process, so that
// no owner can outlive the code that frees it.
#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <optional>

#include "core/diagnostic_log.h"
#include "winsupport/handles.h"
#include "winsupport/wide_text.h"

namespace kov {

// Each pointer has its function's own type, calling convention (WINAPI,
// stdcall on i686) included, and its name.
struct SignatureApi {
    decltype(&::CryptQueryObject) CryptQueryObject;
    decltype(&::CryptMsgGetParam) CryptMsgGetParam;
    decltype(&::CryptMsgClose) CryptMsgClose;
    decltype(&::CertFindCertificateInStore) CertFindCertificateInStore;
    decltype(&::CertFreeCertificateContext) CertFreeCertificateContext;
    decltype(&::CertCloseStore) CertCloseStore;
    decltype(&::CertGetCertificateChain) CertGetCertificateChain;
    decltype(&::CertFreeCertificateChain) CertFreeCertificateChain;
    decltype(&::CertCompareCertificateName) CertCompareCertificateName;
    decltype(&::WinVerifyTrust) WinVerifyTrust;
};

// The table, or what kept it from loading: the call that failed, what it was
// asked for, and the Windows error it left.
struct SignatureApiLoad {
    std::optional<SignatureApi> api;
    const char* failedCall = nullptr;
    const char* failedFor = nullptr;
    DWORD error = 0;
};

// crypt32.dll and wintrust.dll by full path from `folder`, with every function
// resolved; no table when anything is missing. What loaded stays loaded on
// success (the table points into it) and is freed on failure.
SignatureApiLoad LoadSignatureApi(const WideString& folder);

// One line in log when load has no table: the step that failed and its error.
void LogLoadFailure(const SignatureApiLoad& load, DiagnosticLog& log);

// The load from the Windows system folder (never a bare name, which the
// program's own folder could supply), made by the first call of either.
const SignatureApiLoad& SystemSignatureLoad();
// Its table; null when Windows lacks any of it.
const SignatureApi* SystemSignatureApi();

// Owners of what the system table returned, freed through it.
struct CertificateCloser : NullMeansNone {
    static bool Close(PCCERT_CONTEXT certificate) {
        return SystemSignatureApi()->CertFreeCertificateContext(certificate) != FALSE;
    }
};
using UniqueCertificate = Owned<PCCERT_CONTEXT, CertificateCloser>;

struct CryptMessageCloser : NullMeansNone {
    static bool Close(HCRYPTMSG message) { return SystemSignatureApi()->CryptMsgClose(message) != FALSE; }
};
using UniqueCryptMessage = Owned<HCRYPTMSG, CryptMessageCloser>;

struct CertStoreCloser : NullMeansNone {
    static bool Close(HCERTSTORE store) { return SystemSignatureApi()->CertCloseStore(store, 0) != FALSE; }
};
using UniqueCertStore = Owned<HCERTSTORE, CertStoreCloser>;

struct CertChainCloser : NullMeansNone {
    static bool Close(PCCERT_CHAIN_CONTEXT chain) {
        SystemSignatureApi()->CertFreeCertificateChain(chain);
        return true;
    }
};
using UniqueCertChain = Owned<PCCERT_CHAIN_CONTEXT, CertChainCloser>;

}  // namespace kov
