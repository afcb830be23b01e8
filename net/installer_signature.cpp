#include "net/installer_signature.h"

#include <windows.h>
#include <softpub.h>

#include <cstring>
#include <optional>
#include <vector>

#include "core/update_check.h"
#include "net/signature_api.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// A file's signer certificate with the store of certificates the signature
// carries (the chain towards the authority, when the signer included it).
struct Signer {
    UniqueCertificate certificate;
    UniqueCertStore carried;
};

std::optional<Signer> ReadSigner(const SignatureApi& api, const WideString& path) {
    HCERTSTORE rawStore = nullptr;
    HCRYPTMSG rawMessage = nullptr;
    if (!api.CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                              CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &rawStore, &rawMessage,
                              nullptr)) {
        return std::nullopt;
    }
    UniqueCertStore store(rawStore);
    const UniqueCryptMessage message(rawMessage);
    DWORD size = 0;
    if (!api.CryptMsgGetParam(message.Get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size) || size == 0)
        return std::nullopt;
    std::vector<BYTE> info(size);
    if (!api.CryptMsgGetParam(message.Get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, info.data(), &size))
        return std::nullopt;
    UniqueCertificate certificate(api.CertFindCertificateInStore(store.Get(), kEncoding, 0,
                                                                 CERT_FIND_SUBJECT_CERT, info.data(), nullptr));
    if (!certificate) return std::nullopt;
    return Signer{std::move(certificate), std::move(store)};
}

// Whether the file is what its signer signed. The chain is judged apart
// (a self-signed publisher gives CERT_E_UNTRUSTEDROOT on Windows, 0 under
// Wine), so chain errors do not count here; a changed file gives
// TRUST_E_BAD_DIGEST before any chain is looked at.
bool DigestMatches(const SignatureApi& api, const WideString& path) {
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = api.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    api.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return result == ERROR_SUCCESS || result == static_cast<LONG>(CERT_E_UNTRUSTEDROOT) ||
           result == static_cast<LONG>(CERT_E_CHAINING);
}

// True when the signer's chain ends in a root the system trusts, with nothing
// else wrong on the way. Revocation is not asked for, so its "unknown" bits
// are no fault.
bool ChainTrusted(const SignatureApi& api, const Signer& signer) {
    CERT_CHAIN_PARA parameters = {};
    parameters.cbSize = sizeof parameters;
    PCCERT_CHAIN_CONTEXT rawChain = nullptr;
    if (!api.CertGetCertificateChain(nullptr, signer.certificate.Get(), nullptr, signer.carried.Get(), &parameters,
                                     CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &rawChain)) {
        return false;
    }
    const UniqueCertChain chain(rawChain);
    constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    return (chain.Get()->TrustStatus.dwErrorStatus & ~kRevocationUnknown) == CERT_TRUST_NO_ERROR;
}

bool SameCertificate(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
    return a->cbCertEncoded == b->cbCertEncoded &&
           std::memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}

bool SameSubject(const SignatureApi& api, PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
    return api.CertCompareCertificateName(X509_ASN_ENCODING, &a->pCertInfo->Subject, &b->pCertInfo->Subject);
}

}  // namespace

InstallerCheck CheckSignedLike(const std::string& file, const std::string& reference) {
    const SignatureApi* api = SystemSignatureApi();
    if (!api) return InstallerCheck::CheckUnavailable;
    const WideString filePath = ExtendedLengthPath(WideFromUtf8(file));
    const std::optional<Signer> publisher = ReadSigner(*api, ExtendedLengthPath(WideFromUtf8(reference)));
    const std::optional<Signer> signer = ReadSigner(*api, filePath);
    SignatureFacts facts;
    facts.agentSigned = publisher.has_value();
    facts.fileSigned = signer.has_value();
    if (publisher && signer) {
        facts.digestMatches = DigestMatches(*api, filePath);
        facts.chainTrusted = ChainTrusted(*api, *signer);
        facts.sameSubject = SameSubject(*api, signer->certificate.Get(), publisher->certificate.Get());
        facts.sameCertificate = SameCertificate(signer->certificate.Get(), publisher->certificate.Get());
    }
    return JudgeSignature(facts);
}

}  // namespace kov
