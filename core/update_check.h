#pragma once
// The rules an offered update must pass before the agent starts anything: the
// installer URL it will fetch, and the verdict on the downloaded file's
// signature. Pure logic; the Windows side gathers the facts.
#include <optional>
#include <string>
#include <string_view>

#include "platform.h"

namespace kov {

// The URL to download for the payload of an "outdated" reply: quotes removed
// (servers quote it), trailing CR, LF and blanks trimmed, and then only an
// http:// or https:// URL (scheme in any case) with no control character in
// it. None for anything else: file:, UNC paths, other schemes.
std::optional<std::string> InstallerUrlToFetch(std::string_view payload);

// What the system's signature check (WinVerifyTrust) said about the file.
enum class VerifyResult {
    Verified,       // intact, and the policy passed up to a trusted root
    UntrustedRoot,  // intact, but the chain ends in a root nobody trusts
    NoSignature,
    BadDigest,      // changed after signing
    Expired,        // the certificate was not valid at the signing time
    Revoked,
    WrongUsage,     // the certificate is not for code signing
    OtherFailure,
};

// The worst of what is wrong with the chain of the signer that check verified
// (revocation that could not be checked is no fault: an offline consultant
// still updates).
enum class ChainFault { None, UntrustedRootOnly, Revoked, NotTimeValid, WrongUsage, Other };

// What the Windows side found out about a downloaded file and the running agent.
struct SignatureFacts {
    bool agentSigned = false;  // the running agent has a signer certificate
    VerifyResult verify = VerifyResult::NoSignature;
    ChainFault chain = ChainFault::Other;
    // The signature carries another certificate with the signer's issuer and
    // serial: which one was verified and which one judged could differ. It
    // refuses before anything else the check said.
    bool signerAmbiguous = false;
    bool sameRoot = false;         // the signer's chain ends in the agent's own root
    bool sameSubject = false;      // signer subject equals the agent signer's subject
    bool sameCertificate = false;  // signer certificate is the agent signer's own, byte for byte
};

// Trusted (verified, with a clean chain): the authority is pinned to the
// agent's own root and a renewed certificate of the same subject passes. A
// root nobody trusts (a self-signed publisher): only the agent's own
// certificate passes, so one that merely copies its name is refused.
InstallerCheck JudgeSignature(const SignatureFacts& facts);

// What the version records of the file and of the running agent say, and
// whether the file is an uninstaller.
struct VersionFacts {
    bool recordFound = false;        // the file has a version record
    bool namedAsInstaller = false;   // its OriginalFilename is the installer's
    unsigned long long fileVersion = 0;
    unsigned long long agentVersion = 0;  // all ones when unreadable: nothing is newer
    bool uninstaller = false;
};

// Only a newer installer of this agent: not an older release (rollback), not
// its uninstaller, not the agent itself or any other file it signed.
InstallerCheck JudgeVersion(const VersionFacts& facts);

}  // namespace kov
