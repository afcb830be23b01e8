#pragma once
// Modal dialogs with data exchange: member fields are copied into the controls
// when the dialog starts and read back from them on request. Such a dialog
// opens centred on the screen that holds the notification area (or the
// cursor), in the foreground, unless its initialisation placed it itself.
#include <windows.h>

#include <cstdint>
#include <string>

#include "shell/framework/window.h"
#include "winsupport/wide_text.h"

namespace kov {

// A control of a dialog, bound by its id during data exchange. The dialog owns
// the window; this only names it.
class Control {
public:
    HWND Handle() const { return hwnd_; }
    void Bind(HWND dialog, int controlId) { hwnd_ = ::GetDlgItem(dialog, controlId); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void Enable(bool enabled) const;
    // Gives the control the focus with its whole text selected.
    void FocusAll() const;

private:
    HWND hwnd_ = nullptr;
};

// One pass of data exchange, towards the controls or from them.
class DataExchange {
public:
    enum class Direction { ToControls, FromControls };
    DataExchange(HWND dialog, Direction direction) : dialog_(dialog), direction_(direction) {}

    // The control's text, as the system holds it (UTF-16). Towards the control
    // it is set only when it differs, so an unchanged field sends no change
    // notification.
    void Text(int controlId, WideString& value) const;
    // A check box: 1 when checked, else 0.
    void Check(int controlId, std::int32_t& value) const;
    void Bind(int controlId, Control& control) const;

private:
    HWND dialog_;
    Direction direction_;
};

// The work area of the monitor that holds the taskbar's notification area,
// or of the cursor's monitor when there is no taskbar: where the consultant
// just clicked the icon, not the primary screen.
RECT WorkAreaNearTray();

class ModalDialog : public Dialog {
public:
    using Dialog::Dialog;

    // As Dialog::RunModal, with the common controls made ready first: these
    // dialogs have controls, unlike the agent's hidden main window.
    INT_PTR RunModal(HWND parent = nullptr);

protected:
    // Fills the controls from the fields; derived dialogs call it first.
    BOOL OnInitDialog() override;
    virtual void DoDataExchange(const DataExchange& /*exchange*/) {}
    void UpdateData(DataExchange::Direction direction);

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void CentreOnScreen();
};

}  // namespace kov
