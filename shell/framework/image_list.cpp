#include "shell/framework/image_list.h"

namespace kov {

bool ImageList::Create(int width, int height, UINT flags, int initialCount, int growBy) {
    list_.Reset(::ImageList_Create(width, height, flags, initialCount, growBy));
    return static_cast<bool>(list_);
}

int ImageList::ReplaceIcon(int index, HICON icon) {
    return list_ ? ::ImageList_ReplaceIcon(list_.Get(), index, icon) : -1;
}

int ImageList::Count() const { return list_ ? ::ImageList_GetImageCount(list_.Get()) : 0; }

UniqueIcon ImageList::GetIcon(int index, UINT flags) const {
    // Out-of-range indexes are refused here rather than left to the system.
    if (!list_ || index < 0 || index >= Count()) return UniqueIcon();
    return UniqueIcon(::ImageList_GetIcon(list_.Get(), index, flags));
}

}  // namespace kov
