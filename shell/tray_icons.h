#pragma once
// The program's icons at the size the notification area draws them
// (SM_CXSMICON, or that size for another DPI), for the tray icon and its
// animation frames. Each is loaded on first use and owned by the set, so the
// handles live as long as the set. UI thread only.
#include <windows.h>

#include <utility>
#include <vector>

#include "winsupport/handles.h"

namespace kov {

class TrayIconSet {
public:
    TrayIconSet();
    explicit TrayIconSet(int size);

    // The icon resource at the set's size; null when there is no such icon.
    HICON Get(int iconId);
    // The resource id of an icon of this set, 0 for any other handle.
    int IdOf(HICON icon) const;
    int Size() const { return size_; }

private:
    const int size_;
    std::vector<std::pair<int, UniqueIcon>> loaded_;
};

}  // namespace kov
