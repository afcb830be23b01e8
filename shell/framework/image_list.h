#pragma once
// An image list that owns its handle (the common controls' HIMAGELIST).
#include <windows.h>
#include <commctrl.h>

#include "shell/framework/handles.h"

namespace kov {

class ImageList {
public:
    ImageList() = default;
    // Destroys the list and the images in it.
    ~ImageList();

    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;

    HIMAGELIST Handle() const { return list_; }

    // Replaces the list (if any) with a new, empty one, as ImageList_Create.
    bool Create(int width, int height, UINT flags, int initialCount, int growBy);
    void Destroy();

    // As ImageList_ReplaceIcon: index -1 appends. The list keeps its own copy
    // of the image, scaled to the list's size; the caller keeps the icon.
    // Returns the image's index, or -1.
    int ReplaceIcon(int index, HICON icon);
    int Count() const;

    // A new icon made from the image at the index (ImageList_GetIcon), owned
    // by the caller; empty for an index with no image.
    UniqueIcon GetIcon(int index, UINT flags) const;

private:
    HIMAGELIST list_ = nullptr;
};

}  // namespace kov
