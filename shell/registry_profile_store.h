#pragma once
// The consultant's stored credentials in the per-user registry:
// HKEY_CURRENT_USER\Software\<registry key>\<application name>\<section>,
// string values, and a binary one for the encrypted token. Made by the
// program's entry before the main window exists; the entry hands it the
// window's diagnostic log before the window runs, so before any other thread
// uses the store.
#include <memory>
#include <string>
#include <string_view>

#include "core/diagnostic_log.h"
#include "core/settings.h"

namespace kov {

class RegistryProfileStore final : public ProfileStore {
public:
    // registryKey is taken as it is: "Kovarentis " keeps its trailing blank,
    // which makes it a different key from "Kovarentis".
    RegistryProfileStore(std::string registryKey, std::string applicationName);

    // Opens nothing for writing: reading an absent value creates no key.
    std::string ReadString(const std::string& section, const std::string& name) override;
    // Creates the keys on the way as needed. A failure is logged with the
    // call, the value's name (never the value: the token is a secret) and
    // the Windows error.
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;
    // Encrypted for the current user (DPAPI) as a binary value; a plain string
    // value of an earlier version is read and stored encrypted at once.
    std::string ReadSecret(const std::string& section, const std::string& name) override;
    // A failure to encrypt is logged and leaves the value empty: never plain.
    void WriteSecret(const std::string& section, const std::string& name,
                     const std::string& value) override;
    // Where failed writes are noted from now on (nowhere until then).
    void SetDiagnosticLog(std::shared_ptr<DiagnosticLog> log);

    // "Software\<registry key>\<application name>\<section>" below HKEY_CURRENT_USER.
    std::string SectionPath(const std::string& section) const;

private:
    void WriteValue(const std::string& section, const std::string& name, unsigned long type,
                    std::string_view bytes);

    const std::string registryKey_;
    const std::string applicationName_;
    std::shared_ptr<DiagnosticLog> log_ = std::make_shared<NoDiagnosticLog>();
};

// The application name the registry path uses: the executable's file name
// without its extension ("Kovarentis" for "C:\...\Kovarentis.exe"). Names
// and paths are UTF-8.
std::string ApplicationNameOf(const std::string& executablePath);

}  // namespace kov
