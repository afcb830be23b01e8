#include "shell/box_style.h"

namespace kov {

UINT BoxStyle(BoxKind kind) {
    switch (kind) {
    case BoxKind::Question:
        return MB_YESNO | MB_ICONQUESTION;
    case BoxKind::Warning:
        break;
    }
    return MB_OK | MB_ICONWARNING;
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
