#include "menu_test_support.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "shell/menu_item_data.h"
#include "winsupport/wide_text.h"

namespace kov::test {

const char kOnlineText[] = "\xCE\xED\xEB\xE0\xE9\xED";
const char kAboutText[] = "\xCE \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE5...";

Canvas::Canvas(int width, int height, COLORREF fill)
    : width_(width), height_(height), dc_(::CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row y is bits_[y * width]
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<DWORD*>(bits);
    previousBitmap_ = ::SelectObject(dc_, bitmap_);
    Fill(fill);
}

Canvas::~Canvas() {
    ::SelectObject(dc_, previousBitmap_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
}

COLORREF Canvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    ::GdiFlush();
    const DWORD pixel = bits_[y * width_ + x];  // 0x00RRGGBB in the DIB
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

void Canvas::Fill(COLORREF colour) {
    ::GdiFlush();
    const DWORD pixel = GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
    std::fill(bits_, bits_ + width_ * height_, pixel);
}

int Canvas::Count(const RECT& area, COLORREF colour) const {
    int count = 0;
    for (int y = std::max(0L, area.top); y < std::min<LONG>(height_, area.bottom); ++y) {
        for (int x = std::max(0L, area.left); x < std::min<LONG>(width_, area.right); ++x) {
            if (Pixel(x, y) == colour) ++count;
        }
    }
    return count;
}

int Canvas::CountOther(const RECT& area, COLORREF colour) const {
    const LONG width = std::min<LONG>(width_, area.right) - std::max(0L, area.left);
    const LONG height = std::min<LONG>(height_, area.bottom) - std::max(0L, area.top);
    if (width <= 0 || height <= 0) return 0;
    return static_cast<int>(width * height) - Count(area, colour);
}

ULONG_PTR ItemData(const char* text) {
    static std::map<std::string, std::unique_ptr<OwnerDrawnItem>> made;  // the test's run
    std::unique_ptr<OwnerDrawnItem>& item = made[text];
    if (!item) item = std::make_unique<OwnerDrawnItem>(text);
    return item->Data();
}

DRAWITEMSTRUCT DrawRecord(HDC dc, const RECT& rect, UINT id, const char* text, UINT action,
                          UINT state) {
    DRAWITEMSTRUCT record{};
    record.CtlType = ODT_MENU;
    record.itemID = id;
    record.itemAction = action;
    record.itemState = state;
    record.hDC = dc;
    record.rcItem = rect;
    record.itemData = ItemData(text);
    return record;
}

MEASUREITEMSTRUCT MeasureRecord(UINT id, const char* text) {
    MEASUREITEMSTRUCT record{};
    record.CtlType = ODT_MENU;
    record.itemID = id;
    record.itemData = ItemData(text);
    return record;
}

UniqueIcon MakeIcon(COLORREF colour, bool transparentCorners) {
    constexpr int kSize = 16;
    const DWORD pixel = GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
    std::vector<DWORD> pixels(kSize * kSize, pixel);
    // Mask rows are 16 bits wide (two bytes, word aligned); a set bit is transparent.
    std::vector<BYTE> mask(kSize * 2, 0);
    if (transparentCorners) {
        mask[0] = 0x80;                     // (0, 0)
        mask[1] = 0x01;                     // (15, 0)
        mask[(kSize - 1) * 2] = 0x80;       // (0, 15)
        mask[(kSize - 1) * 2 + 1] = 0x01;   // (15, 15)
        for (const int corner : {0, kSize - 1, kSize * (kSize - 1), kSize * kSize - 1}) {
            pixels[corner] = 0;
        }
    }
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = ::CreateBitmap(kSize, kSize, 1, 32, pixels.data());
    info.hbmMask = ::CreateBitmap(kSize, kSize, 1, 1, mask.data());
    UniqueIcon icon(::CreateIconIndirect(&info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return icon;
}

MenuIcons MakeIcons(std::initializer_list<COLORREF> colours) {
    MenuIcons made;
    made.size = 16;
    for (const COLORREF colour : colours) made.icons.push_back(MakeIcon(colour, true));
    return made;
}

SIZE ScreenTextSize(const std::string& text) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = 500;  // without the padded border, as every Windows takes it
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    const HDC screen = ::GetDC(nullptr);
    const HFONT font = ::CreateFontIndirectW(&metrics.lfMenuFont);
    const HGDIOBJ previous = ::SelectObject(screen, font);
    TEXTMETRICW textMetrics{};
    ::GetTextMetricsW(screen, &textMetrics);
    SIZE extent{};
    const WideString wide = WideFrom1251(text);
    ::GetTextExtentPoint32W(screen, wide.c_str(), static_cast<int>(wide.size()), &extent);
    ::SelectObject(screen, previous);
    ::DeleteObject(font);
    ::ReleaseDC(nullptr, screen);
    return SIZE{extent.cx, textMetrics.tmHeight};
}

// ---------------------------------------------------------------------------
// GdiBalance: the counted functions are swapped in the program's import
// table, which every call of the program (the code under test included) goes
// through. The counts are process-wide state because the replacement
// functions are plain functions; only one GdiBalance exists at a time.
namespace {

struct BalanceState {
    std::set<HANDLE> live;
    std::size_t created = 0;
    std::size_t foreign = 0;
    bool hooked = true;
};
std::unique_ptr<BalanceState> balance;

HANDLE Made(HANDLE handle) {
    if (balance && handle) {
        balance->live.insert(handle);
        ++balance->created;
    }
    return handle;
}

void Released(HANDLE handle) {
    if (!balance || !handle) return;
    if (balance->live.erase(handle) == 0) ++balance->foreign;
}

// The import slot of a function in the program's import table, or null.
void** ImportSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; descriptor->Name; ++descriptor) {
        if (_stricmp(reinterpret_cast<char*>(base + descriptor->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

void Swap(void** slot, void* replacement) {
    DWORD protection = 0;
    ::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = replacement;
    ::VirtualProtect(slot, sizeof *slot, protection, &protection);
}

// The system's own functions, saved while the counting ones are in place.
decltype(&::CreateSolidBrush) realCreateSolidBrush;
decltype(&::CreatePen) realCreatePen;
decltype(&::CreateFontIndirectW) realCreateFontIndirectW;
decltype(&::CreateCompatibleDC) realCreateCompatibleDC;
decltype(&::DeleteObject) realDeleteObject;
decltype(&::DeleteDC) realDeleteDC;
decltype(&::GetDC) realGetDC;
decltype(&::ReleaseDC) realReleaseDC;
decltype(&::DestroyIcon) realDestroyIcon;

HBRUSH WINAPI CountCreateSolidBrush(COLORREF colour) {
    return static_cast<HBRUSH>(Made(realCreateSolidBrush(colour)));
}
HPEN WINAPI CountCreatePen(int style, int width, COLORREF colour) {
    return static_cast<HPEN>(Made(realCreatePen(style, width, colour)));
}
HFONT WINAPI CountCreateFontIndirectW(const LOGFONTW* font) {
    return static_cast<HFONT>(Made(realCreateFontIndirectW(font)));
}
HDC WINAPI CountCreateCompatibleDC(HDC dc) {
    return static_cast<HDC>(Made(realCreateCompatibleDC(dc)));
}
BOOL WINAPI CountDeleteObject(HGDIOBJ object) {
    Released(object);
    return realDeleteObject(object);
}
BOOL WINAPI CountDeleteDC(HDC dc) {
    Released(dc);
    return realDeleteDC(dc);
}
HDC WINAPI CountGetDC(HWND window) { return static_cast<HDC>(Made(realGetDC(window))); }
int WINAPI CountReleaseDC(HWND window, HDC dc) {
    Released(dc);
    return realReleaseDC(window, dc);
}
BOOL WINAPI CountDestroyIcon(HICON icon) {
    Released(icon);
    return realDestroyIcon(icon);
}

struct Hook {
    const char* dll;
    const char* function;
    void* counting;
    void** real;
    void** slot;
};

template <typename F>
Hook MakeHook(const char* dll, const char* function, F counting, F& real) {
    return Hook{dll, function, reinterpret_cast<void*>(counting), reinterpret_cast<void**>(&real),
                nullptr};
}

Hook hooks[] = {
    MakeHook("gdi32.dll", "CreateSolidBrush", &CountCreateSolidBrush, realCreateSolidBrush),
    MakeHook("gdi32.dll", "CreatePen", &CountCreatePen, realCreatePen),
    MakeHook("gdi32.dll", "CreateFontIndirectW", &CountCreateFontIndirectW, realCreateFontIndirectW),
    MakeHook("gdi32.dll", "CreateCompatibleDC", &CountCreateCompatibleDC, realCreateCompatibleDC),
    MakeHook("gdi32.dll", "DeleteObject", &CountDeleteObject, realDeleteObject),
    MakeHook("gdi32.dll", "DeleteDC", &CountDeleteDC, realDeleteDC),
    MakeHook("user32.dll", "GetDC", &CountGetDC, realGetDC),
    MakeHook("user32.dll", "ReleaseDC", &CountReleaseDC, realReleaseDC),
    MakeHook("user32.dll", "DestroyIcon", &CountDestroyIcon, realDestroyIcon),
};

}  // namespace

GdiBalance::GdiBalance() {
    balance = std::make_unique<BalanceState>();
    for (Hook& hook : hooks) {
        hook.slot = ImportSlot(hook.dll, hook.function);
        if (!hook.slot) {
            balance->hooked = false;
            continue;
        }
        // The saved original is in place before the slot points at the counter.
        *hook.real = *hook.slot;
        Swap(hook.slot, hook.counting);
    }
}

GdiBalance::~GdiBalance() {
    for (Hook& hook : hooks) {
        if (hook.slot) Swap(hook.slot, *hook.real);
        hook.slot = nullptr;
    }
    balance.reset();
}

std::size_t GdiBalance::Live() const { return balance->live.size(); }
std::size_t GdiBalance::Created() const { return balance->created; }
std::size_t GdiBalance::ForeignReleases() const { return balance->foreign; }
bool GdiBalance::Hooked() const { return balance->hooked; }

}  // namespace kov::test
