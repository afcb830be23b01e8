// OBM_CHECK is declared only with OEMRESOURCE.
#define OEMRESOURCE
#include "shell/side_bar_menu.h"

#include <cstddef>
#include <string>
#include <utility>

#include "winsupport/handles.h"
#include "winsupport/wide_text.h"

namespace kov {
namespace {

// Every drawing object is made for one step of one call and released at its
// end, so nothing is cached between calls.

// Item data is the address of the item's Windows-1251 text; null counts as a
// separator. Drawn and measured as Unicode, so the letters do not depend on
// the system's ANSI code page.
WideString ItemText(ULONG_PTR itemData) {
    const char* text = reinterpret_cast<const char*>(itemData);
    return WideFrom1251(text ? text : "");
}


// The layout's lengths are pixels at 96 DPI; they grow with the display's
// scaling, as the menu font and the icons do.
int DpiOf(HDC dc) { return ::GetDeviceCaps(dc, LOGPIXELSY); }
int Scale(int pixels, int dpi) { return ::MulDiv(pixels, dpi, 96); }

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
    const UniqueBrush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush.Get());
}

// The menu font of the non-client metrics, asked for in the 500-byte layout
// (without the padded-border field), which every Windows version accepts.
LOGFONTW MenuFont() {
    constexpr UINT kMetricsSize = 500;
    static_assert(sizeof(NONCLIENTMETRICSW) >= kMetricsSize, "the metrics hold the 500-byte layout");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = kMetricsSize;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kMetricsSize, &metrics, 0);
    return metrics.lfMenuFont;
}

UniqueFont CreateMenuFont(int weight, int escapement) {
    LOGFONTW font = MenuFont();
    font.lfWeight = weight;
    font.lfEscapement = escapement;
    font.lfOrientation = escapement;
    return UniqueFont(::CreateFontIndirectW(&font));
}

// The system check mark, ANDed onto the item at its own size. Its white
// pixels come from the background colour, so that must be white meanwhile.
void DrawCheckMark(HDC dc, int x, int y) {
    const UniqueBitmap check(::LoadBitmapA(nullptr, MAKEINTRESOURCEA(OBM_CHECK)));
    BITMAP size{};
    ::GetObjectA(check.Get(), sizeof size, &size);
    const COLORREF previousBack = ::SetBkColor(dc, RGB(255, 255, 255));
    {
        const UniqueMemoryDc source(::CreateCompatibleDC(dc));
        const GdiSelection selected(source.Get(), check.Get());
        ::BitBlt(dc, x, y, size.bmWidth, size.bmHeight, source.Get(), 0, 0, SRCAND);
    }
    ::SetBkColor(dc, previousBack);
}

void DrawLabel(HDC dc, const WideString& text, RECT rect, bool bold) {
    constexpr UINT kFormat = DT_SINGLELINE | DT_VCENTER;
    if (!bold) {
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, kFormat);
        return;
    }
    const UniqueFont font = CreateMenuFont(FW_BOLD, 0);
    const GdiSelection selected(dc, font.Get());
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, kFormat);
}

void DrawSeparatorLine(HDC dc, int left, int right, int y, COLORREF colour) {
    const UniquePen pen(::CreatePen(PS_SOLID, 1, colour));
    const GdiSelection selected(dc, pen.Get());
    POINT previousPosition{};
    ::MoveToEx(dc, left, y, &previousPosition);
    ::LineTo(dc, right, y);
    ::MoveToEx(dc, previousPosition.x, previousPosition.y, nullptr);
}

// One channel of the side-bar gradient at row y of a clip box of height h.
// Signed arithmetic, truncated towards zero, and the result taken modulo 256.
BYTE GradientChannel(int atTop, int atBottom, int y, int h) {
    return static_cast<BYTE>(atTop + ((atBottom - atTop) * y) / h);
}

}  // namespace

CSideBarMenu::CSideBarMenu(std::string title) : sideTitle(std::move(title)) {}

void CSideBarMenu::AttachIcons(const MenuIcons* icons) {
    sideWidth_ = 10;
    icons_ = icons;
}

void CSideBarMenu::MeasureItem(MEASUREITEMSTRUCT& item) {
    const WideString text = ItemText(item.itemData);
    const UniqueScreenDc screen(::GetDC(nullptr));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen.Get(), &metrics);
    SIZE extent{};
    ::GetTextExtentPoint32W(screen.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    const int dpi = DpiOf(screen.Get());
    item.itemHeight = static_cast<UINT>(!text.empty() ? metrics.tmHeight + Scale(5, dpi) : Scale(6, dpi));
    // The text starts further right when scaled (by nothing at 100 %).
    const int scaledOffset = Scale(sideWidth_ + 15, dpi) - (sideWidth_ + 15);
    item.itemWidth = static_cast<UINT>(Scale(sideWidth_, dpi) + extent.cx + scaledOffset);
}

void CSideBarMenu::DrawItem(const DRAWITEMSTRUCT& item) {
    const WideString text = ItemText(item.itemData);
    const bool separator = text.empty();
    const HDC dc = item.hDC;
    const int dpi = DpiOf(dc);
    const int side = Scale(sideWidth_, dpi);
    RECT textRect = item.rcItem;
    textRect.left = item.rcItem.left + side + Scale(15, dpi);
    RECT highlight = item.rcItem;
    highlight.left = item.rcItem.left + side + (icons_ ? Scale(12, dpi) : 0);

    ::SetBkMode(dc, TRANSPARENT);
    COLORREF colour = PaintFills(item, highlight);
    if (!separator && (item.itemState & ODS_CHECKED)) {
        if (icons_) {
            colour = textColor;
            Fill(dc, highlight, accentColor);
        } else {
            DrawCheckMark(dc, textRect.left - Scale(13, dpi), item.rcItem.top + Scale(3, dpi));
        }
    }

    const bool disabled = !separator && (item.itemState & (ODS_GRAYED | ODS_DISABLED));
    const COLORREF previousText = ::SetTextColor(dc, disabled ? disabledTextColor : colour);
    DrawLabel(dc, text, textRect, !separator && (item.itemState & ODS_DEFAULT));
    if ((item.itemAction & ODA_DRAWENTIRE) && !icons_) PaintSideBar(dc);
    if (icons_) DrawItemIcon(dc, item.itemID, textRect.left, item.rcItem.top);
    ::SetTextColor(dc, previousText);

    if (separator) {
        DrawSeparatorLine(dc, highlight.left + Scale(2, dpi), highlight.right,
                          item.rcItem.top + Scale(2, dpi), RGB(255, 255, 255) - backColor);
    }
}

// Background and selection fills; returns the text colour they call for. The
// accent fill of a checked item comes after this, so a checked item looks the
// same selected or not.
COLORREF CSideBarMenu::PaintFills(const DRAWITEMSTRUCT& item, const RECT& highlight) const {
    const bool drawEntire = (item.itemAction & ODA_DRAWENTIRE) != 0;
    const bool selectionChanged = (item.itemAction & ODA_SELECT) != 0;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    COLORREF colour = textColor;
    if (drawEntire) Fill(item.hDC, item.rcItem, backColor);
    if (selected && (drawEntire || selectionChanged)) {
        colour = selectTextColor;
        Fill(item.hDC, highlight, selectColor);
    } else if (!selected && selectionChanged) {
        Fill(item.hDC, highlight, backColor);
    }
    return colour;
}

// The gradient runs over the whole clip box, not just the item, with rows
// counted in the drawing context's coordinates.
void CSideBarMenu::PaintSideBar(HDC dc) const {
    RECT clip{};
    ::GetClipBox(dc, &clip);
    const int h = clip.bottom - clip.top;
    const int dpi = DpiOf(dc);
    const int side = Scale(sideWidth_, dpi);
    if (h > 0) {
        for (int y = clip.bottom; y >= clip.top; --y) {
            const COLORREF colour =
                RGB(GradientChannel(GetRValue(sideTopColor), GetRValue(accentColor), y, h),
                    GradientChannel(GetGValue(sideTopColor), GetGValue(accentColor), y, h),
                    GradientChannel(GetBValue(sideTopColor), GetBValue(accentColor), y, h));
            for (int x = 0; x < side; ++x) ::SetPixel(dc, x, y, colour);
        }
    }

    const UniqueFont font = CreateMenuFont(FW_BOLD, 900);  // running upwards
    const GdiSelection selected(dc, font.Get());
    const COLORREF previousText = ::SetTextColor(dc, sideTitleColor);
    RECT titleRect = clip;
    titleRect.left += Scale(3, dpi);
    titleRect.bottom += Scale(5, dpi);
    const WideString title = WideFrom1251(sideTitle);
    ::DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &titleRect, DT_SINGLELINE | DT_BOTTOM);
    ::SetTextColor(dc, previousText);
}

// The square left of the text, the icons' size (16 pixels at 100 %), is
// cleared first, so an item without an icon (a separator, or the transparent
// About icon) shows an empty square.
void CSideBarMenu::DrawItemIcon(HDC dc, UINT itemId, int textLeft, int itemTop) const {
    const int dpi = DpiOf(dc);
    const int size = icons_->size;
    const int left = textLeft - Scale(22, dpi);
    const int top = itemTop + Scale(2, dpi);
    const RECT square{left, top, left + size, top + size};
    Fill(dc, square, backColor);
    if (itemId < 300 || itemId - 300 >= icons_->icons.size()) return;
    const HICON icon = icons_->icons[itemId - 300].Get();
    if (icon) ::DrawIconEx(dc, left, top, icon, size, size, 0, nullptr, DI_NORMAL);
}

}  // namespace kov
