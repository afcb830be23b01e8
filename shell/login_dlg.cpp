#include "shell/login_dlg.h"

#include <commctrl.h>

#include <iterator>
#include <utility>

#include "core/wipe.h"
#include "shell/res/resource.h"
#include "shell/texts_loader.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

// The timer that takes the stand-in tip away, and when.
constexpr UINT_PTR kOwnTipTimer = 1;
constexpr UINT kOwnTipMs = 5000;

}  // namespace

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
    if (knownLogin.empty()) return TRUE;  // the focus goes to the login edit, the first tab stop
    // Set once every control holds its field: the edit's change notification
    // reads them all back.
    loginEdit_.Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideFrom1251(knownLogin).c_str()));
    passwordEdit_.FocusAll();
    return FALSE;
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
    if (id != IDC_LOGIN && id != IDC_PASSWORD) return false;
    if (notifyCode == EN_MAXTEXT) {
        ShowLimitTip(id == IDC_LOGIN ? loginEdit_ : passwordEdit_);
        return true;
    }
    if (notifyCode != EN_UPDATE) return false;
    UpdateOkState();
    return true;
}

// The edit keeps its limit and takes what fits; the tip says why the rest
// is missing.
void CLoginDlg::ShowLimitTip(const Control& field) {
    const WideString text = WideFrom1251(LoadText(::GetModuleHandleW(nullptr), TextId::TextTooLong));
    EDITBALLOONTIP tip{};
    tip.cbStruct = sizeof tip;
    tip.pszTitle = L"";
    tip.pszText = text.c_str();
    tip.ttiIcon = TTI_INFO;
    if (!field.Send(EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip))) ShowOwnTip(field, text);
}

// Where the edit has no balloon of its own (Wine's edit control), a tracking
// balloon of the dialog's stands in below the field for a few seconds.
void CLoginDlg::ShowOwnTip(const Control& field, const WideString& text) {
    if (ownTip_) ::DestroyWindow(ownTip_);
    ownTip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX, 0,
                                0, 0, 0, Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!ownTip_) return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(field.Handle());
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(ownTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT place{};
    ::GetWindowRect(field.Handle(), &place);
    ::SendMessageW(ownTip_, TTM_TRACKPOSITION, 0, MAKELPARAM((place.left + place.right) / 2, place.bottom));
    ::SendMessageW(ownTip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    ::SetTimer(Handle(), kOwnTipTimer, kOwnTipMs, nullptr);
}

bool CLoginDlg::OnTimer(UINT_PTR timerId) {
    if (timerId != kOwnTipTimer) return false;
    ::KillTimer(Handle(), kOwnTipTimer);
    if (ownTip_) ::DestroyWindow(ownTip_);
    ownTip_ = nullptr;
    return true;
}

}  // namespace kov
