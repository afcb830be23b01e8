#include "shell/dpi.h"

#include "winsupport/handles.h"
#include "winsupport/system_library.h"

namespace kov {
namespace {

using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);

// Windows 10 1607 and later.
GetSystemMetricsForDpiFunction SystemMetricsForDpi() {
    return LoadedFunction<GetSystemMetricsForDpiFunction>(L"user32.dll", "GetSystemMetricsForDpi");
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
