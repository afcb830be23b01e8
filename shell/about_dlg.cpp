#include "shell/about_dlg.h"

#include "shell/res/resource.h"

namespace kov {

CAbout::CAbout()
    : ModalDialog(IDD_ABOUT),
      icon_(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ONLINE))) {}

BOOL CAbout::OnInitDialog() {
    ModalDialog::OnInitDialog();
    ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    return TRUE;
}

}  // namespace kov
