#include "shell/system_facts.h"

#include "shell/res/resource.h"
#include "winsupport/system_library.h"

namespace kov {
namespace {

constexpr DWORD kFirstBuildHidingNewIcons = 22000;
constexpr wchar_t kAppUserModelId[] = L"" KOV_APP_USER_MODEL_ID;

}  // namespace

bool SystemAnimationsOn() {
    BOOL on = TRUE;
    return !::SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &on, 0) || on;
}

bool TaskbarHidesNewIcons() {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = LoadedFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!getVersion || getVersion(&version) != 0) return false;
    return version.dwMajorVersion == 10 && version.dwBuildNumber >= kFirstBuildHidingNewIcons;
}

bool SetProcessAppUserModelId() {
    using SetIdFunction = HRESULT(WINAPI*)(PCWSTR);
    const auto setId = LoadedFunction<SetIdFunction>(L"shell32.dll", "SetCurrentProcessExplicitAppUserModelID");
    return setId && SUCCEEDED(setId(kAppUserModelId));
}

}  // namespace kov
