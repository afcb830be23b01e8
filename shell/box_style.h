#pragma once
// The core's words for message boxes in Win32 terms, mapped here once: the
// buttons and icon of each kind of box, and which answer a button means.
// Stateless; any thread.
#include <windows.h>

#include "core/platform.h"

namespace kov {

// MessageBox's style flags for the kind; every box comes to the foreground.
UINT BoxStyle(BoxKind kind);

// What MessageBox returned (0 when it failed) as the core's answer. Only the
// buttons the agent's boxes have mean themselves; anything else is No, so
// that nothing goes ahead on a box the consultant did not answer Yes to.
BoxAnswer AnswerOf(int messageBoxResult);

}  // namespace kov
