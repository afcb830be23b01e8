#include "shell/about_dlg.h"

#include "shell/res/resource.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

// The project's version, as the build gives it to the version record.
constexpr char kVersion[] = KOV_AGENT_VERSION;
constexpr wchar_t kVersionPlace[] = L"%s";

void FillInVersion(HWND label) {
    wchar_t text[128] = {};
    ::SendMessageW(label, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text));
    WideString filled(text);
    const std::size_t place = filled.find(kVersionPlace);
    if (place == WideString::npos) return;
    filled.replace(place, 2, WideFrom1251(kVersion));
    ::SendMessageW(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(filled.c_str()));
}

}  // namespace

CAbout::CAbout()
    : ModalDialog(IDD_ABOUT),
      icon_(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ONLINE))) {}

BOOL CAbout::OnInitDialog() {
    ModalDialog::OnInitDialog();
    ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    FillInVersion(::GetDlgItem(Handle(), IDC_ABOUT_TEXT));
    return TRUE;
}

}  // namespace kov
