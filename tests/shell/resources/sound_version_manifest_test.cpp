// The new-message sound, the version record and the manifest of Kovarentis.exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <string>

#include "shell/res/resource.h"
#include "tests/shell/resources/resource_module.h"

namespace kov::test {
namespace {

constexpr size_t kWaveSize = 44536;
constexpr size_t kSampleCount = 22232;
constexpr size_t kFirstSample = 44;

std::vector<uint8_t> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class AgentResources : public ::testing::Test {
protected:
    UniqueModule agent_ = OpenForResources(AgentPath());
    void SetUp() override { ASSERT_TRUE(agent_) << "cannot open the agent executable"; }

    std::vector<uint8_t> Sound() const {
        auto bytes = ResourceBytes(agent_.Get(), L"WAVE", MAKEINTRESOURCEW(IDR_NEW_MESSAGE_SOUND), kRussian);
        return bytes ? *bytes : std::vector<uint8_t>();
    }
};

std::string Tag(const std::vector<uint8_t>& b, size_t at) {
    return std::string(reinterpret_cast<const char*>(b.data() + at), 4);
}

TEST_F(AgentResources, SoundIsTheGeneratedFileInRussian) {
    EXPECT_EQ(ResourceLanguages(agent_.Get(), L"WAVE", MAKEINTRESOURCEW(IDR_NEW_MESSAGE_SOUND)),
              std::vector<WORD>{kRussian});
    const std::vector<uint8_t> generated = ReadFile(KOV_WAVE_FILE);
    ASSERT_EQ(generated.size(), kWaveSize) << KOV_WAVE_FILE;
    EXPECT_TRUE(Sound() == generated);
}

TEST_F(AgentResources, SoundHasTheRiffLayout) {
    const std::vector<uint8_t> wave = Sound();
    ASSERT_EQ(wave.size(), kWaveSize);
    EXPECT_EQ(Tag(wave, 0), "RIFF");
    EXPECT_EQ(Dword(wave, 4), 44528u);
    EXPECT_EQ(Tag(wave, 8), "WAVE");
    EXPECT_EQ(Tag(wave, 12), "fmt ");
    EXPECT_EQ(Dword(wave, 16), 16u);
    EXPECT_EQ(Word(wave, 20), 1) << "PCM";
    EXPECT_EQ(Word(wave, 22), 1) << "mono";
    EXPECT_EQ(Dword(wave, 24), 44100u);
    EXPECT_EQ(Dword(wave, 28), 88200u);
    EXPECT_EQ(Word(wave, 32), 2);
    EXPECT_EQ(Word(wave, 34), 16);
    EXPECT_EQ(Tag(wave, 36), "data");
    EXPECT_EQ(Dword(wave, 40), 2 * kSampleCount);
    const size_t list = kFirstSample + 2 * kSampleCount;
    EXPECT_EQ(list, 44508u);
    EXPECT_EQ(Tag(wave, list), "LIST");
    EXPECT_EQ(Dword(wave, list + 4), 20u);
    EXPECT_EQ(Tag(wave, list + 8), "INFO");
    EXPECT_EQ(Tag(wave, list + 12), "IART");
    const uint32_t artistSize = Dword(wave, list + 16);
    EXPECT_EQ(artistSize + (artistSize & 1), 8u);
    EXPECT_NE(wave[list + 20], 0) << "the artist field is empty";
}

// Largest |sample| over samples [from, to).
int Peak(const std::vector<uint8_t>& wave, size_t from, size_t to) {
    int peak = 0;
    for (size_t n = from; n < to; ++n) {
        peak = std::max(peak, std::abs(static_cast<int16_t>(Word(wave, kFirstSample + 2 * n))));
    }
    return peak;
}

TEST_F(AgentResources, SoundIsSteadyThenFadesOut) {
    const std::vector<uint8_t> wave = Sound();
    ASSERT_EQ(wave.size(), kWaveSize);
    const int peak = Peak(wave, 0, kSampleCount);
    EXPECT_GE(peak, 5500);
    EXPECT_LE(peak, 6700);
    const size_t window = 441;  // 10 ms
    for (size_t from = 441; from + window <= 15435; from += window) {  // 10 ms to 350 ms
        EXPECT_GE(Peak(wave, from, from + window), peak * 8 / 10) << "steady part, sample " << from;
    }
    const int fading = Peak(wave, 17640, 17640 + window);  // at 400 ms
    EXPECT_LT(fading, peak * 8 / 10);
    EXPECT_GT(fading, 0);
    EXPECT_LT(Peak(wave, kSampleCount - window, kSampleCount), peak / 20) << "last 10 ms";
}

std::wstring VersionString(const std::vector<uint8_t>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080004b0\\") + name;
    if (!::VerQueryValueW(info.data(), path.c_str(), &value, &length) || !value) return L"<missing>";
    return std::wstring(static_cast<const wchar_t*>(value), length ? length - 1 : 0);
}

TEST_F(AgentResources, VersionRecordReadsBack) {
    EXPECT_EQ(ResourceLanguages(agent_.Get(), RT_VERSION, MAKEINTRESOURCEW(1)), std::vector<WORD>{kRussian});
    const DWORD size = ::GetFileVersionInfoSizeW(AgentPath().c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(AgentPath().c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x37u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0800);
    EXPECT_EQ(translation[1], 1200);

    EXPECT_EQ(VersionString(info, L"FileDescription"), L"Агент консультанта");
    EXPECT_EQ(VersionString(info, L"FileVersion"), L"1.2.0.0");
    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"1.2.0.0");
    for (const wchar_t* name : {L"CompanyName", L"ProductName", L"LegalCopyright", L"InternalName",
                                L"OriginalFilename"}) {
        const std::wstring value = VersionString(info, name);
        EXPECT_FALSE(value.empty() || value == L"<missing>") << name;
    }
}

#ifdef _WIN64
constexpr char kArchitecture[] = "processorArchitecture=\"amd64\"";
#else
constexpr char kArchitecture[] = "processorArchitecture=\"x86\"";
#endif

TEST_F(AgentResources, ManifestAsksForCommonControlsSix) {
    EXPECT_EQ(ResourceLanguages(agent_.Get(), RT_MANIFEST, MAKEINTRESOURCEW(1)), std::vector<WORD>{kEnglishUs});
    const auto bytes = ResourceBytes(agent_.Get(), RT_MANIFEST, MAKEINTRESOURCEW(1), kEnglishUs);
    ASSERT_TRUE(bytes);
    const std::string manifest(bytes->begin(), bytes->end());
    for (const char* part : {"manifestVersion=\"1.0\"", "type=\"win32\"",
                             "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                             "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"", kArchitecture}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
    size_t dependencies = 0;
    for (size_t at = manifest.find("<dependency>"); at != std::string::npos;
         at = manifest.find("<dependency>", at + 1)) {
        ++dependencies;
    }
    EXPECT_EQ(dependencies, 1u);
}

// Activating the manifest the way the loader does at start-up binds the
// program to the side-by-side common controls 6.0. (Wine's copy reports 5.81
// through DllGetVersion, so the assembly it comes from is what tells.)
TEST_F(AgentResources, ManifestSelectsCommonControlsSix) {
    ACTCTXW context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = AgentPath().c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE activation = ::CreateActCtxW(&context);
    ASSERT_NE(activation, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(activation, &cookie));
    UniqueModule comctl(::LoadLibraryW(L"comctl32.dll"));
    ::DeactivateActCtx(0, cookie);
    ::ReleaseActCtx(activation);
    ASSERT_TRUE(comctl);

    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(comctl.Get(), path, MAX_PATH);
    std::wstring lower(path);
    for (auto& c : lower) c = static_cast<wchar_t>(towlower(c));
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos)
        << std::wstring(path);
}

}  // namespace
}  // namespace kov::test
