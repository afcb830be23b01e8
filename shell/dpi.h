#pragma once
// The display's scale as the agent's windows need it. Functions that Windows
// gained after Windows 7 are looked up at run time, so the agent still starts
// where they are missing. Any thread.
#include <windows.h>

namespace kov {

// The DPI that WM_DPICHANGED reports.
constexpr UINT kDpiChangedMessage = 0x02E0;

// The small-icon size (SM_CXSMICON: what the notification area and the menus
// draw) at a DPI: 16 at 96, 24 at 144.
int SmallIconSizeForDpi(UINT dpi);

}  // namespace kov
