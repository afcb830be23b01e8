#pragma once
// The consultant's stored credentials in the per-user registry:
// HKEY_CURRENT_USER\Software\<registry key>\<application name>\<section>,
// string values.
#include <string>

#include "core/settings.h"

namespace kov {

class RegistryProfileStore final : public ProfileStore {
public:
    // registryKey is taken as it is: "Kovarentis " keeps its trailing blank,
    // which makes it a different key from "Kovarentis".
    RegistryProfileStore(std::string registryKey, std::string applicationName);

    // Opens nothing for writing: reading an absent value creates no key.
    std::string ReadString(const std::string& section, const std::string& name) override;
    // Creates the keys on the way as needed.
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;

    // "Software\<registry key>\<application name>\<section>" below HKEY_CURRENT_USER.
    std::string SectionPath(const std::string& section) const;

private:
    const std::string registryKey_;
    const std::string applicationName_;
};

// The application name the registry path uses: the executable's file name
// without its extension ("Kovarentis" for "C:\...\Kovarentis.exe"). Names
// and paths are UTF-8.
std::string ApplicationNameOf(const std::string& executablePath);

}  // namespace kov
