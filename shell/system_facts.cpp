#include "shell/system_facts.h"

#include "shell/res/resource.h"

namespace kov {
namespace {

constexpr DWORD kFirstBuildHidingNewIcons = 22000;
constexpr wchar_t kAppUserModelId[] = L"" KOV_APP_USER_MODEL_ID;

template <typename Function>
Function Lookup(const wchar_t* module, const char* name) {
    const HMODULE loaded = ::GetModuleHandleW(module);
    return loaded ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(loaded, name))) : nullptr;
}

}  // namespace

bool SystemAnimationsOn() {
    BOOL on = TRUE;
    return !::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &on, 0) || on;
}

bool TaskbarHidesNewIcons() {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = Lookup<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!getVersion || getVersion(&version) != 0) return false;
    return version.dwMajorVersion == 10 && version.dwBuildNumber >= kFirstBuildHidingNewIcons;
}

bool SetProcessAppUserModelId() {
    using SetIdFunction = HRESULT(WINAPI*)(PCWSTR);
    const auto setId = Lookup<SetIdFunction>(L"shell32.dll", "SetCurrentProcessExplicitAppUserModelID");
    return setId && SUCCEEDED(setId(kAppUserModelId));
}

}  // namespace kov
