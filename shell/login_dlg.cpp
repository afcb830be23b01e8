#include "shell/login_dlg.h"

#include "shell/res/resource.h"

namespace kov {

CLoginDlg::CLoginDlg()
    : ModalDialog(IDD_LOGIN),
      icon_(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ONLINE))) {}

void CLoginDlg::DoDataExchange(const DataExchange& exchange) {
    exchange.Text(IDC_LOGIN, loginText);
    exchange.Text(IDC_PASSWORD, passwordText);
    exchange.Check(IDC_REMEMBER, rememberChecked);
    exchange.Bind(IDC_LOGIN, loginEdit_);
    exchange.Bind(IDC_PASSWORD, passwordEdit_);
    exchange.Bind(IDOK, okButton_);
}

BOOL CLoginDlg::OnInitDialog() {
    ModalDialog::OnInitDialog();
    // A shared resource icon: the system owns it, nothing destroys it.
    ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    loginEdit_.Send(EM_LIMITTEXT, kTextLimit);
    passwordEdit_.Send(EM_LIMITTEXT, kTextLimit);
    UpdateOkState();
    return TRUE;  // the focus goes to the login edit, the first tab stop
}

bool CLoginDlg::UpdateOkState() {
    UpdateData(DataExchange::Direction::FromControls);
    const bool complete = !loginText.empty() && !passwordText.empty();
    okButton_.Enable(complete);
    return complete;
}

// Enter arrives here too, even while the button is disabled.
void CLoginDlg::OnOK() {
    if (UpdateOkState()) EndDialog(IDOK);
}

bool CLoginDlg::OnCommand(UINT id, UINT notifyCode, HWND /*control*/) {
    if (notifyCode != EN_UPDATE || (id != IDC_LOGIN && id != IDC_PASSWORD)) return false;
    UpdateOkState();
    return true;
}

}  // namespace kov
