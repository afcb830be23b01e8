#include "net/installer_version.h"

#include <cstring>
#include <optional>
#include <vector>

namespace kov {
namespace {

constexpr wchar_t kInstallerName[] = L"KovarentisSetup.exe";
// NSIS puts the first header of its data at a 512-byte boundary: flags, then
// 0xDEADBEEF and "NullsoftInst"; the uninstaller's flags have bit 0 set.
constexpr DWORD kNsisBoundary = 512;
constexpr BYTE kNsisMagic[] = {0xEF, 0xBE, 0xAD, 0xDE, 'N', 'u', 'l', 'l', 's', 'o', 'f', 't', 'I', 'n', 's', 't'};
constexpr DWORD kNsisHeaderSize = 4 + sizeof kNsisMagic;
constexpr BYTE kNsisUninstallFlag = 1;

struct VersionRecord {
    unsigned long long fileVersion = 0;
    WideString originalFilename;
};

// The first language's text of the name in a version block; empty when none.
WideString VersionText(const SignatureApi& api, std::vector<BYTE>& block, const wchar_t* name) {
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT size = 0;
    if (!api.VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                            &size) ||
        size < sizeof *translation) {
        return {};
    }
    WideString key = L"\\StringFileInfo\\";
    const unsigned long both = (static_cast<unsigned long>(translation->language) << 16) | translation->codePage;
    for (int shift = 28; shift >= 0; shift -= 4) key += L"0123456789abcdef"[(both >> shift) & 0xF];
    key += WideString(L"\\") + name;
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!api.VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) || !text)
        return {};
    return WideString(text);
}

std::optional<VersionRecord> ReadVersionRecord(const SignatureApi& api, const WideString& path) {
    DWORD ignored = 0;
    const DWORD size = api.GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> block(size);
    if (!api.GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!api.VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof *fixed) {
        return std::nullopt;
    }
    return VersionRecord{(static_cast<unsigned long long>(fixed->dwFileVersionMS) << 32) | fixed->dwFileVersionLS,
                         VersionText(api, block, L"OriginalFilename")};
}

// The first NSIS header decides, as it does for the NSIS program itself.
bool CarriesUninstallerHeader(HANDLE file) {
    constexpr DWORD kChunk = 128 * kNsisBoundary;
    std::vector<BYTE> chunk(kChunk);
    for (unsigned long long offset = 0;; offset += kChunk) {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!::ReadFile(file, chunk.data(), kChunk, &got, &at) || got == 0) return false;
        for (DWORD block = 0; block + kNsisHeaderSize <= got; block += kNsisBoundary) {
            const BYTE* header = chunk.data() + block;
            if (std::memcmp(header + 4, kNsisMagic, sizeof kNsisMagic) == 0)
                return (header[0] & kNsisUninstallFlag) != 0;
        }
    }
}

}  // namespace

VersionFacts ReadVersionFacts(const SignatureApi& api, HANDLE file, const WideString& filePath,
                              const WideString& agentPath) {
    VersionFacts facts;
    const std::optional<VersionRecord> installer = ReadVersionRecord(api, filePath);
    const std::optional<VersionRecord> agent = ReadVersionRecord(api, agentPath);
    facts.recordFound = installer.has_value();
    facts.namedAsInstaller = installer && installer->originalFilename == kInstallerName;
    facts.fileVersion = installer ? installer->fileVersion : 0;
    facts.agentVersion = agent ? agent->fileVersion : ~0ull;
    facts.uninstaller = CarriesUninstallerHeader(file);
    return facts;
}

}  // namespace kov
