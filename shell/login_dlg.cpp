#include "shell/login_dlg.h"

#include <iterator>
#include <utility>

#include "core/wipe.h"
#include "shell/res/resource.h"
#include "shell/texts_loader.h"
#include "winsupport/wide_text.h"

namespace kov {

CLoginDlg::CLoginDlg()
    : ModalDialog(IDD_LOGIN),
      icon_(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_ONLINE))) {}

CLoginDlg::~CLoginDlg() {
    WipeText(typedPassword_);
    WipeText(passwordText);
}

void CLoginDlg::DoDataExchange(const DataExchange& exchange) {
    exchange.Text(IDC_LOGIN, typedLogin_);
    exchange.Text(IDC_PASSWORD, typedPassword_);
    exchange.Check(IDC_REMEMBER, rememberChecked);
    exchange.Bind(IDC_LOGIN, loginEdit_);
    exchange.Bind(IDC_PASSWORD, passwordEdit_);
    exchange.Bind(IDOK, okButton_);
}

BOOL CLoginDlg::OnInitDialog() {
    ModalDialog::OnInitDialog();
    // A shared resource icon: the system owns it, nothing destroys it.
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    loginEdit_.Send(EM_LIMITTEXT, kTextLimit);
    passwordEdit_.Send(EM_LIMITTEXT, kTextLimit);
    UpdateOkState();
    return TRUE;  // the focus goes to the login edit, the first tab stop
}

bool CLoginDlg::UpdateOkState() {
    UpdateData(DataExchange::Direction::FromControls);
    const bool complete = !typedLogin_.empty() && !typedPassword_.empty();
    okButton_.Enable(complete);
    return complete;
}

// Enter arrives here too, even while the button is disabled.
void CLoginDlg::OnOK() {
    if (!UpdateOkState()) return;
    std::optional<std::string> login = Accept(typedLogin_, loginEdit_);
    if (!login) return;
    std::optional<std::string> password = Accept(typedPassword_, passwordEdit_);
    if (!password) return;
    loginText = std::move(*login);
    passwordText = *password;
    WipeText(*password);
    WipePasswordEdit();
    EndDialog(IDOK);
}

void CLoginDlg::OnCancel() {
    WipePasswordEdit();
    EndDialog(IDCANCEL);
}

void CLoginDlg::WipePasswordEdit() {
    const auto length = static_cast<std::size_t>(passwordEdit_.Send(WM_GETTEXTLENGTH));
    const WideString filler(length, L'*');
    passwordEdit_.Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(filler.c_str()));
    passwordEdit_.Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
}

// The box carries the dialog's caption and never the typed text.
std::optional<std::string> CLoginDlg::Accept(const WideString& typed, const Control& field) {
    std::optional<std::string> narrow = NarrowTo1251(typed);
    if (narrow) return narrow;
    const HMODULE program = ::GetModuleHandleW(nullptr);
    const WideString message = WideFrom1251(LoadText(program, TextId::LoginNotRepresentable));
    wchar_t caption[128] = {};
    ::GetWindowTextW(Handle(), caption, static_cast<int>(std::size(caption)));
    ::MessageBoxW(Handle(), message.c_str(), caption, MB_OK | MB_ICONEXCLAMATION);
    field.FocusAll();
    return std::nullopt;
}

bool CLoginDlg::OnCommand(UINT id, UINT notifyCode, HWND /*control*/) {
    if (notifyCode != EN_UPDATE || (id != IDC_LOGIN && id != IDC_PASSWORD)) return false;
    UpdateOkState();
    return true;
}

}  // namespace kov
