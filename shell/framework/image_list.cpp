#include "shell/framework/image_list.h"

namespace kov {

ImageList::~ImageList() { Destroy(); }

bool ImageList::Create(int width, int height, UINT flags, int initialCount, int growBy) {
    Destroy();
    list_ = ::ImageList_Create(width, height, flags, initialCount, growBy);
    return list_ != nullptr;
}

void ImageList::Destroy() {
    if (!list_) return;
    ::ImageList_Destroy(list_);
    list_ = nullptr;
}

int ImageList::ReplaceIcon(int index, HICON icon) {
    return list_ ? ::ImageList_ReplaceIcon(list_, index, icon) : -1;
}

int ImageList::Count() const { return list_ ? ::ImageList_GetImageCount(list_) : 0; }

UniqueIcon ImageList::GetIcon(int index, UINT flags) const {
    // Out-of-range indexes are refused here rather than left to the system.
    if (!list_ || index < 0 || index >= Count()) return UniqueIcon();
    return UniqueIcon(::ImageList_GetIcon(list_, index, flags));
}

}  // namespace kov
