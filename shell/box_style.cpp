#include "shell/box_style.h"

namespace kov {

// In front of the browser the consultant works in: a box opened by a poll
// would otherwise wait unseen behind it.
UINT BoxStyle(BoxKind kind) {
    switch (kind) {
    case BoxKind::Question:
        return MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND;
    case BoxKind::Warning:
        break;
    }
    return MB_OK | MB_ICONWARNING | MB_SETFOREGROUND;
}

BoxAnswer AnswerOf(int messageBoxResult) {
    switch (messageBoxResult) {
    case IDOK:
        return BoxAnswer::Ok;
    case IDYES:
        return BoxAnswer::Yes;
    default:
        return BoxAnswer::No;
    }
}

}  // namespace kov
