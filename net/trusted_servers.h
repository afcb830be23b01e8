#pragma once
// The servers that have once answered over TLS with a certificate Windows
// trusts, kept per user in the registry: one DWORD value per host under
// HKEY_CURRENT_USER\<key path>. Such a server never gets the unknown-authority
// retry again. No state beyond the path: each call opens the key anew, so any
// worker may call it at any time.
#include <string>

namespace kov {

class TrustedServers {
public:
    // keyPath below HKEY_CURRENT_USER, e.g. "Software\Kovarentis \Kovarentis\TrustedServers".
    explicit TrustedServers(std::string keyPath);

    // False also when the key cannot be read.
    bool Known(const std::string& host) const;
    // Creates the key on the way; a failure leaves the server unremembered.
    void Remember(const std::string& host) const;

private:
    const std::string keyPath_;
};

}  // namespace kov
