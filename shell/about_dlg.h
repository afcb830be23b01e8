#pragma once
// The About box: the agent's icon and three right-aligned lines (name,
// version, notice) from the dialog template, the build's version filled in;
// any ending closes it.
#include <windows.h>

#include "shell/framework/dialog.h"

namespace kov {

class CAbout : public ModalDialog {
public:
    CAbout();

protected:
    BOOL OnInitDialog() override;

private:
    const HICON icon_;
};

}  // namespace kov
