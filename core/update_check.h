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

// What the Windows side found out about a downloaded file and the running agent.
struct SignatureFacts {
    bool agentSigned = false;      // the running agent has a signer certificate
    bool fileSigned = false;       // the file has a signer certificate
    bool digestMatches = false;    // the file is what was signed
    bool chainTrusted = false;     // the file signer's chain ends in a trusted root
    bool sameSubject = false;      // signer subject equals the agent signer's subject
    bool sameCertificate = false;  // signer certificate is the agent signer's own
};

// A publisher with a trusted chain keeps updates working across a renewed
// certificate (same subject); an untrusted (self-signed) publisher is only
// itself, so a certificate that merely copies its name is refused.
InstallerCheck JudgeSignature(const SignatureFacts& facts);

}  // namespace kov
