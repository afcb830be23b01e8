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

InstallerCheck JudgeSignature(const SignatureFacts& facts) {
    if (!facts.agentSigned) return InstallerCheck::AgentUnsigned;
    if (!facts.fileSigned) return InstallerCheck::Unsigned;
    if (!facts.digestMatches) return InstallerCheck::AlteredAfterSigning;
    const bool samePublisher = facts.chainTrusted ? facts.sameSubject : facts.sameCertificate;
    return samePublisher ? InstallerCheck::Authentic : InstallerCheck::OtherPublisher;
}

}  // namespace kov
