#pragma once
// An image list that owns its handle (the common controls' HIMAGELIST).
#include <windows.h>
#include <commctrl.h>

#include "net/handles.h"

namespace kov {

class ImageList {
public:
    // Its end destroys the list and the images in it.
    ImageList() = default;

    HIMAGELIST Handle() const { return list_.Get(); }

    // Replaces the list (if any) with a new, empty one, as ImageList_Create.
    bool Create(int width, int height, UINT flags, int initialCount, int growBy);

    // As ImageList_ReplaceIcon: index -1 appends. The list keeps its own copy
    // of the image, scaled to the list's size; the caller keeps the icon.
    // Returns the image's index, or -1.
    int ReplaceIcon(int index, HICON icon);
    int Count() const;

    // A new icon made from the image at the index (ImageList_GetIcon), owned
    // by the caller; empty for an index with no image.
    UniqueIcon GetIcon(int index, UINT flags) const;

private:
    UniqueImageList list_;
};

}  // namespace kov
