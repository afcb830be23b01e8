// CERT_CHAIN_PARA with its retrieval time-out.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include "net/installer_signature.h"

#include <softpub.h>

#include <cstring>

#include "core/update_check.h"
#include "net/installer_version.h"
#include "net/signature_api.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr DWORD kRevocationTimeoutMs = 5000;

// One WinVerifyTrust run with its state kept open, so that the signer it
// verified can be read; the state is closed with the object.
class Verification {
public:
    Verification(const SignatureApi& api, HANDLE file, WideString path) : api_(api), path_(std::move(path)) {
        file_.cbStruct = sizeof file_;
        file_.pcwszFilePath = path_.c_str();
        file_.hFile = file;
        data_.cbStruct = sizeof data_;
        data_.dwUIChoice = WTD_UI_NONE;
        data_.fdwRevocationChecks = WTD_REVOKE_NONE;  // asked apart, with a time-out
        data_.dwUnionChoice = WTD_CHOICE_FILE;
        data_.pFile = &file_;
        data_.dwStateAction = WTD_STATEACTION_VERIFY;
        data_.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
        result_ = api_.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    ~Verification() {
        data_.dwStateAction = WTD_STATEACTION_CLOSE;
        api_.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
    }
    Verification(const Verification&) = delete;
    Verification& operator=(const Verification&) = delete;

    LONG Result() const { return result_; }
    CRYPT_PROVIDER_DATA* Provider() const { return api_.WTHelperProvDataFromStateData(data_.hWVTStateData); }
    // The first signer as the check found it; null when none.
    const CRYPT_PROVIDER_SGNR* Signer() const {
        CRYPT_PROVIDER_DATA* provider = Provider();
        return provider ? api_.WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    }

private:
    const SignatureApi& api_;
    const WideString path_;
    GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO file_ = {};
    WINTRUST_DATA data_ = {};
    LONG result_ = 0;
};

// The certificate the check verified for the signer; null when it found none.
PCCERT_CONTEXT CertificateOf(const CRYPT_PROVIDER_SGNR* signer) {
    return signer && signer->csCertChain != 0 ? signer->pasCertChain[0].pCert : nullptr;
}

VerifyResult ResultOf(LONG result) {
    switch (static_cast<HRESULT>(result)) {
        case S_OK: return VerifyResult::Verified;
        case CERT_E_UNTRUSTEDROOT: return VerifyResult::UntrustedRoot;
        case TRUST_E_NOSIGNATURE:
        case TRUST_E_SUBJECT_FORM_UNKNOWN:
        case TRUST_E_PROVIDER_UNKNOWN: return VerifyResult::NoSignature;
        case TRUST_E_BAD_DIGEST: return VerifyResult::BadDigest;
        case CERT_E_EXPIRED: return VerifyResult::Expired;
        case CERT_E_REVOKED:
        case CRYPT_E_REVOKED: return VerifyResult::Revoked;
        case CERT_E_WRONG_USAGE: return VerifyResult::WrongUsage;
        default: return VerifyResult::OtherFailure;
    }
}

ChainFault FaultOf(DWORD errors) {
    errors &= ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
    if (errors & CERT_TRUST_IS_REVOKED) return ChainFault::Revoked;
    if (errors & CERT_TRUST_IS_NOT_TIME_VALID) return ChainFault::NotTimeValid;
    if (errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return ChainFault::WrongUsage;
    if (errors == CERT_TRUST_NO_ERROR) return ChainFault::None;
    return errors == CERT_TRUST_IS_UNTRUSTED_ROOT ? ChainFault::UntrustedRootOnly : ChainFault::Other;
}

PCCERT_CONTEXT RootOf(PCCERT_CHAIN_CONTEXT chain) {
    if (!chain || chain->cChain == 0) return nullptr;
    const CERT_SIMPLE_CHAIN* last = chain->rgpChain[chain->cChain - 1];
    return last->cElement == 0 ? nullptr : last->rgpElement[last->cElement - 1]->pCertContext;
}

bool SameCertificate(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
    return a && b && a->cbCertEncoded == b->cbCertEncoded &&
           std::memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}

// More than one certificate of the signature's own with the issuer and serial
// that its signer names.
bool SignerAmbiguous(const SignatureApi& api, HCERTSTORE carried, const CMSG_SIGNER_INFO& signer) {
    CERT_INFO named = {};
    named.Issuer = signer.Issuer;
    named.SerialNumber = signer.SerialNumber;
    int count = 0;
    PCCERT_CONTEXT found = nullptr;
    while ((found = api.CertFindCertificateInStore(carried, kEncoding, 0, CERT_FIND_SUBJECT_CERT, &named, found)) !=
           nullptr) {
        ++count;
    }
    return count > 1;
}

// The signer's chain built again for code signing (Wine's policy does not
// look at the usage) with the revocation of every certificate but the root
// asked of the network for a few seconds in all: its usage and revocation
// faults. An answer that does not come is no revocation.
DWORD UsageAndRevocationErrors(const SignatureApi& api, PCCERT_CONTEXT signer, HCERTSTORE carried) {
    LPSTR codeSigning[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
    CERT_CHAIN_PARA parameters = {};
    parameters.cbSize = sizeof parameters;
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = codeSigning;
    parameters.dwUrlRetrievalTimeout = kRevocationTimeoutMs;
    PCCERT_CHAIN_CONTEXT rawChain = nullptr;
    constexpr DWORD kFlags =
        CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
    if (!api.CertGetCertificateChain(nullptr, signer, nullptr, carried, &parameters, kFlags, nullptr, &rawChain))
        return CERT_TRUST_NO_ERROR;
    const UniqueCertChain chain(rawChain);
    return chain.Get()->TrustStatus.dwErrorStatus & (CERT_TRUST_IS_REVOKED | CERT_TRUST_IS_NOT_VALID_FOR_USAGE);
}

// The facts about the file's signer, given the agent's signer certificate
// and chain.
void JudgeFileSigner(const SignatureApi& api, const Verification& file, const CRYPT_PROVIDER_SGNR& agent,
                     SignatureFacts& facts) {
    const CRYPT_PROVIDER_SGNR* signer = file.Signer();
    const UniqueCertStore carried(signer && signer->psSigner ? api.CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0,
                                                                                 0, file.Provider()->hMsg)
                                                             : nullptr);
    facts.signerAmbiguous = carried && SignerAmbiguous(api, carried.Get(), *signer->psSigner);
    const PCCERT_CONTEXT certificate = CertificateOf(signer);
    if (!certificate || !carried) {
        if (facts.verify == VerifyResult::Verified || facts.verify == VerifyResult::UntrustedRoot)
            facts.verify = VerifyResult::OtherFailure;
        return;
    }
    const DWORD errors =
        signer->pChainContext ? signer->pChainContext->TrustStatus.dwErrorStatus : CERT_TRUST_IS_PARTIAL_CHAIN;
    facts.chain = FaultOf(errors | UsageAndRevocationErrors(api, certificate, carried.Get()));
    facts.sameRoot = SameCertificate(RootOf(signer->pChainContext), RootOf(agent.pChainContext));
    facts.sameSubject = api.CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Subject,
                                                       &CertificateOf(&agent)->pCertInfo->Subject) != FALSE;
    facts.sameCertificate = SameCertificate(certificate, CertificateOf(&agent));
}

}  // namespace

InstallerCheck CheckSignedLike(HANDLE file, const std::string& path, const std::string& reference) {
    const SignatureApi* api = SystemSignatureApi();
    if (!api) return InstallerCheck::CheckUnavailable;
    const WideString filePath = ExtendedLengthPath(WideFromUtf8(path));
    const WideString agentPath = ExtendedLengthPath(WideFromUtf8(reference));
    const Verification agent(*api, nullptr, agentPath);
    const Verification installer(*api, file, filePath);
    SignatureFacts facts;
    facts.agentSigned = CertificateOf(agent.Signer()) != nullptr;
    facts.verify = ResultOf(installer.Result());
    if (facts.agentSigned) JudgeFileSigner(*api, installer, *agent.Signer(), facts);
    const InstallerCheck signature = JudgeSignature(facts);
    if (signature != InstallerCheck::Authentic) return signature;
    return JudgeVersion(ReadVersionFacts(*api, file, filePath, agentPath));
}

}  // namespace kov
