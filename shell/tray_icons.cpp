#include "shell/tray_icons.h"

namespace kov {

// The shell would scale a larger icon down, and the program's icons carry a
// frame drawn for each size the notification area uses.
TrayIconSet::TrayIconSet() : TrayIconSet(::GetSystemMetrics(SM_CXSMICON)) {}

TrayIconSet::TrayIconSet(int size) : size_(size) {}

int TrayIconSet::IdOf(HICON icon) const {
    for (const auto& [id, loaded] : loaded_) {
        if (loaded.Get() == icon) return id;
    }
    return 0;
}

HICON TrayIconSet::Get(int iconId) {
    for (const auto& [id, icon] : loaded_) {
        if (id == iconId) return icon.Get();
    }
    UniqueIcon icon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId),
                                                    IMAGE_ICON, size_, size_, LR_DEFAULTCOLOR)));
    if (!icon) return nullptr;
    const HICON handle = icon.Get();
    loaded_.emplace_back(iconId, std::move(icon));
    return handle;
}

}  // namespace kov
