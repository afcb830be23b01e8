#pragma once
// The sign-in dialog: login, password and "remember me". OK ("Войти") is
// enabled only while both fields hold text; Enter is then ignored too. The
// fields are read as Unicode; a login or password that Windows-1251 cannot
// carry is not accepted: a box over the dialog says so and the field keeps
// the focus. A known login is filled in, the focus then on the password; more
// than a field takes, typed or pasted, brings the system's balloon tip on it.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "shell/framework/dialog.h"
#include "winsupport/wide_text.h"

namespace kov {

class CLoginDlg : public ModalDialog {
public:
    // Both edits take at most this many characters, typed or pasted.
    static constexpr int kTextLimit = 32;

    CLoginDlg();
    // The typed and accepted password are wiped with the dialog.
    ~CLoginDlg() override;

    // The new OK state, read from the controls: both texts non-empty.
    bool UpdateOkState();

    // After IDOK: both texts non-empty, as Windows-1251 bytes; rememberChecked
    // 0 or 1. Set rememberChecked before the run to preset the check box.
    std::string loginText;
    std::string passwordText;
    std::int32_t rememberChecked = 0;
    // Windows-1251; set before the run to fill the login in.
    std::string knownLogin;

protected:
    void DoDataExchange(const DataExchange& exchange) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(UINT id, UINT notifyCode, HWND control) override;
    bool OnTimer(UINT_PTR timerId) override;

private:
    // The field's text as Windows-1251, or nullopt after telling the
    // consultant and focusing the field.
    std::optional<std::string> Accept(const WideString& typed, const Control& field);
    // The edit keeps the password in memory of its own: overwritten in place,
    // then emptied.
    void WipePasswordEdit();
    void ShowLimitTip(const Control& field);
    void ShowOwnTip(const Control& field, const WideString& text);

    const HICON icon_;
    WideString typedLogin_;
    WideString typedPassword_;
    Control loginEdit_;
    Control passwordEdit_;
    Control okButton_;
    // The stand-in for the edit's own balloon while it shows; owned by the
    // dialog, so it goes with it at the latest.
    HWND ownTip_ = nullptr;
};

}  // namespace kov
