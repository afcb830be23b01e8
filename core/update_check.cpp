#include "update_check.h"

#include <algorithm>

namespace kov {
namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool IsTrailingJunk(char c) { return c == '\r' || c == '\n' || c == ' '; }

// WinINet sends a CR or LF in the middle of a URL raw, which would split the
// request; other control bytes have no place in a URL either.
bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

}  // namespace

std::optional<std::string> InstallerUrlToFetch(std::string_view payload) {
    std::string url(payload);
    url.erase(std::remove(url.begin(), url.end(), '"'), url.end());
    while (!url.empty() && IsTrailingJunk(url.back())) url.pop_back();
    for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (StartsWithIgnoringCase(url, scheme) && url.size() > scheme.size() && !HasControlCharacter(url))
            return url;
    }
    return std::nullopt;
}

namespace {

std::optional<InstallerCheck> VerifyFailure(VerifyResult result) {
    switch (result) {
        case VerifyResult::Verified:
        case VerifyResult::UntrustedRoot: return std::nullopt;
        case VerifyResult::NoSignature: return InstallerCheck::Unsigned;
        case VerifyResult::BadDigest: return InstallerCheck::AlteredAfterSigning;
        case VerifyResult::Expired: return InstallerCheck::Expired;
        case VerifyResult::Revoked: return InstallerCheck::Revoked;
        case VerifyResult::WrongUsage: return InstallerCheck::NotForCodeSigning;
        case VerifyResult::OtherFailure: break;
    }
    return InstallerCheck::SignatureInvalid;
}

std::optional<InstallerCheck> ChainFailure(ChainFault fault) {
    switch (fault) {
        case ChainFault::None:
        case ChainFault::UntrustedRootOnly: return std::nullopt;
        case ChainFault::Revoked: return InstallerCheck::Revoked;
        case ChainFault::NotTimeValid: return InstallerCheck::Expired;
        case ChainFault::WrongUsage: return InstallerCheck::NotForCodeSigning;
        case ChainFault::Other: break;
    }
    return InstallerCheck::SignatureInvalid;
}

}  // namespace

InstallerCheck JudgeSignature(const SignatureFacts& facts) {
    if (!facts.agentSigned) return InstallerCheck::AgentUnsigned;
    if (facts.signerAmbiguous) return InstallerCheck::AmbiguousSigner;
    if (const auto failure = VerifyFailure(facts.verify)) return *failure;
    if (const auto failure = ChainFailure(facts.chain)) return *failure;
    if (facts.verify == VerifyResult::Verified && facts.chain == ChainFault::None) {
        if (!facts.sameRoot) return InstallerCheck::OtherAuthority;
        return facts.sameSubject ? InstallerCheck::Authentic : InstallerCheck::OtherPublisher;
    }
    return facts.sameCertificate ? InstallerCheck::Authentic : InstallerCheck::OtherPublisher;
}

InstallerCheck JudgeVersion(const VersionFacts& facts) {
    if (!facts.recordFound || !facts.namedAsInstaller) return InstallerCheck::NotAnInstaller;
    if (facts.uninstaller) return InstallerCheck::Uninstaller;
    return facts.fileVersion > facts.agentVersion ? InstallerCheck::Authentic : InstallerCheck::NotNewer;
}

}  // namespace kov
