#include "shell/dpi.h"

#include "winsupport/handles.h"

namespace kov {
namespace {

using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);

// Windows 10 1607 and later.
GetSystemMetricsForDpiFunction SystemMetricsForDpi() {
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<GetSystemMetricsForDpiFunction>(
                        reinterpret_cast<void*>(::GetProcAddress(user32, "GetSystemMetricsForDpi")))
                  : nullptr;
}

// Elsewhere the metric is the system DPI's, scaled.
int ScaledFromSystemDpi(int metric, UINT dpi) {
    const UniqueScreenDc screen(::GetDC(nullptr));
    const int systemDpi = screen ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    return ::MulDiv(::GetSystemMetrics(metric), static_cast<int>(dpi), systemDpi > 0 ? systemDpi : 96);
}

}  // namespace

int SmallIconSizeForDpi(UINT dpi) {
    if (const auto forDpi = SystemMetricsForDpi()) return forDpi(SM_CXSMICON, dpi);
    return ScaledFromSystemDpi(SM_CXSMICON, dpi);
}

}  // namespace kov
