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

// A separator's text is empty, and so is that of data the menu did not make.
const WideString& ItemText(ULONG_PTR itemData) {
    static const WideString kNone;  // constant
    const OwnerDrawnItem* item = OwnerDrawnItem::FromData(itemData);
    return item ? item->Text() : kNone;
}

// The layout's lengths are pixels at 96 DPI; they grow with the display's
// scaling, as the menu font and the icons do.
int DpiOf(HDC dc) { return ::GetDeviceCaps(dc, LOGPIXELSY); }
int Scale(int pixels, int dpi) { return ::MulDiv(pixels, dpi, 96); }
// Room for the check glyph right of the text, beside the icons.
constexpr int kCheckRoom = 16;

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
    const UniqueBrush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush.Get());
}

int SystemDpi() {
    const UniqueScreenDc screen(::GetDC(nullptr));
    const int dpi = screen ? DpiOf(screen.Get()) : 96;
    return dpi > 0 ? dpi : 96;
}

// The menu font of the non-client metrics, asked for in the 500-byte layout
// (without the padded-border field), which every Windows version accepts. It
// is given at the system DPI and scaled to the menu's.
LOGFONTW MenuFont(int dpi) {
    constexpr UINT kMetricsSize = 500;
    static_assert(sizeof(NONCLIENTMETRICSW) >= kMetricsSize, "the metrics hold the 500-byte layout");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = kMetricsSize;
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kMetricsSize, &metrics, 0);
    metrics.lfMenuFont.lfHeight = ::MulDiv(metrics.lfMenuFont.lfHeight, dpi, SystemDpi());
    return metrics.lfMenuFont;
}

UniqueFont CreateMenuFont(int dpi, int weight, int escapement = 0, bool smoothed = true) {
    LOGFONTW font = MenuFont(dpi);
    if (!smoothed) font.lfQuality = NONANTIALIASED_QUALITY;
    font.lfWeight = weight;
    font.lfEscapement = escapement;
    font.lfOrientation = escapement;
    return UniqueFont(::CreateFontIndirectW(&font));
}

// A check mark of two strokes, centred in the box, in one colour: drawn with
// plain lines, it needs no symbol font (Wine may have none) and no smoothing.
void DrawCheckGlyph(HDC dc, const RECT& box, COLORREF colour, int dpi) {
    const int x = (box.left + box.right - Scale(9, dpi)) / 2;
    const int y = (box.top + box.bottom) / 2;
    const POINT strokes[] = {{x, y - Scale(1, dpi)}, {x + Scale(3, dpi), y + Scale(2, dpi)},
                             {x + Scale(9, dpi), y - Scale(4, dpi)}};
    const UniquePen pen(::CreatePen(PS_SOLID, Scale(2, dpi), colour));
    const GdiSelection selected(dc, pen.Get());
    ::Polyline(dc, strokes, 3);
}

// The access key is underlined when Windows shows keyboard cues (the menu
// opened from the keyboard, or the cues always on), as in its own menus.
// Unsmoothed text keeps to the colours it is given (for high contrast).
void DrawLabel(HDC dc, const WideString& text, RECT rect, UINT state, bool smoothed) {
    const UINT format = DT_SINGLELINE | DT_VCENTER | ((state & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
    const int weight = (state & ODS_DEFAULT) ? FW_BOLD : FW_NORMAL;
    const UniqueFont font = CreateMenuFont(DpiOf(dc), weight, 0, smoothed);
    const GdiSelection selected(dc, font.Get());
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
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

bool CSideBarMenu::Create(bool plain) {
    items_.clear();
    plain_ = plain;
    return CreatePopup();
}

bool CSideBarMenu::AppendItem(UINT id, std::string_view text) {
    if (plain_) return Append(MF_STRING, id, std::string(text).c_str());
    items_.push_back(std::make_unique<OwnerDrawnItem>(text));
    return ::AppendMenuW(Handle(), MF_OWNERDRAW, id, reinterpret_cast<LPCWSTR>(items_.back()->Data())) != FALSE;
}

bool CSideBarMenu::AppendSeparator() {
    if (plain_) return Append(MF_SEPARATOR, 0, nullptr);
    items_.push_back(std::make_unique<OwnerDrawnItem>(""));
    const auto data = reinterpret_cast<LPCWSTR>(items_.back()->Data());
    return ::AppendMenuW(Handle(), MF_SEPARATOR | MF_OWNERDRAW, 0, data) != FALSE;
}

// In the menu font at the screen's DPI, the '&' left out as DrawText leaves it.
void CSideBarMenu::MeasureItem(MEASUREITEMSTRUCT& item) {
    const WideString& text = ItemText(item.itemData);
    const UniqueScreenDc screen(::GetDC(nullptr));
    const int dpi = DpiOf(screen.Get());
    const UniqueFont font = CreateMenuFont(dpi, FW_NORMAL);
    const GdiSelection selected(screen.Get(), font.Get());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen.Get(), &metrics);
    RECT extent{};
    ::DrawTextW(screen.Get(), text.c_str(), static_cast<int>(text.size()), &extent, DT_SINGLELINE | DT_CALCRECT);
    item.itemHeight = static_cast<UINT>(!text.empty() ? metrics.tmHeight + Scale(5, dpi) : Scale(6, dpi));
    // The text starts further right when scaled (by nothing at 100 %).
    const int scaledOffset = Scale(sideWidth_ + 15, dpi) - (sideWidth_ + 15);
    const int checkRoom = icons_ && !text.empty() ? Scale(kCheckRoom, dpi) : 0;
    item.itemWidth = static_cast<UINT>(Scale(sideWidth_, dpi) + extent.right + scaledOffset + checkRoom);
}

bool CSideBarMenu::MenuChar(wchar_t key, LRESULT& result) {
    const int count = ::GetMenuItemCount(Handle());
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_DATA;
        if (!::GetMenuItemInfoW(Handle(), static_cast<UINT>(position), TRUE, &info)) continue;
        const OwnerDrawnItem* item = OwnerDrawnItem::FromData(info.dwItemData);
        if (item && item->AccessKey() != 0 && item->AccessKey() == UpperCase(key)) {
            result = MAKELRESULT(position, MNC_EXECUTE);
            return true;
        }
    }
    return false;
}

CSideBarMenu::Palette CSideBarMenu::Colours() const {
    if (!highContrast_) {
        return {backColor, textColor, selectColor, selectTextColor, disabledTextColor, RGB(255, 255, 255) - backColor};
    }
    return {::GetSysColor(COLOR_MENU),      ::GetSysColor(COLOR_MENUTEXT),  ::GetSysColor(COLOR_HIGHLIGHT),
            ::GetSysColor(COLOR_HIGHLIGHTTEXT), ::GetSysColor(COLOR_GRAYTEXT), ::GetSysColor(COLOR_MENUTEXT)};
}

void CSideBarMenu::DrawItem(const DRAWITEMSTRUCT& item) {
    const WideString& text = ItemText(item.itemData);
    const bool separator = text.empty();
    const Palette colours = Colours();
    const HDC dc = item.hDC;
    const int dpi = DpiOf(dc);
    const int side = Scale(sideWidth_, dpi);
    RECT textRect = item.rcItem;
    textRect.left = item.rcItem.left + side + Scale(15, dpi);
    RECT highlight = item.rcItem;
    highlight.left = item.rcItem.left + side + (icons_ ? Scale(12, dpi) : 0);

    ::SetBkMode(dc, TRANSPARENT);
    COLORREF colour = PaintFills(item, highlight, colours);
    const bool disabled = !separator && (item.itemState & (ODS_GRAYED | ODS_DISABLED));
    if (disabled) colour = colours.disabled;
    if (!separator && (item.itemState & ODS_CHECKED)) PaintCheck(item, highlight, textRect.left, colour);

    const COLORREF previousText = ::SetTextColor(dc, colour);
    // Wine leaves ODS_DEFAULT out of owner-drawn menu items: the menu says it too.
    const HMENU menu = reinterpret_cast<HMENU>(item.hwndItem);
    const bool byDefault = menu && ::GetMenuDefaultItem(menu, FALSE, 0) == item.itemID;
    const UINT state = item.itemState | (byDefault ? ODS_DEFAULT : 0);
    if (!separator) DrawLabel(dc, text, textRect, state, !highContrast_);
    if ((item.itemAction & ODA_DRAWENTIRE) && !icons_ && !highContrast_) PaintSideBar(dc);
    if (icons_ && !highContrast_) DrawItemIcon(dc, item.itemID, textRect.left, item.rcItem.top);
    ::SetTextColor(dc, previousText);

    if (separator) {
        DrawSeparatorLine(dc, highlight.left + Scale(2, dpi), highlight.right,
                          item.rcItem.top + Scale(2, dpi), colours.line);
    }
}

// With icons the accent fill (not in high contrast, where the selection must
// show) and the glyph at the right end; without them the glyph left of the
// text. The glyph takes the colour the text is drawn in.
void CSideBarMenu::PaintCheck(const DRAWITEMSTRUCT& item, const RECT& highlight, int textLeft,
                              COLORREF& colour) const {
    const int dpi = DpiOf(item.hDC);
    if (icons_ && !highContrast_) {
        if (!(item.itemState & (ODS_GRAYED | ODS_DISABLED))) colour = textColor;
        Fill(item.hDC, highlight, accentColor);
    }
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2;
    RECT box{textLeft - Scale(15, dpi), middle - Scale(8, dpi), textLeft - Scale(2, dpi), middle + Scale(8, dpi)};
    if (icons_) {
        box.right = item.rcItem.right;
        box.left = box.right - Scale(kCheckRoom, dpi);
    }
    DrawCheckGlyph(item.hDC, box, colour, dpi);
}

// Background and selection fills; returns the text colour they call for. The
// accent fill of a checked item comes after this, so a checked item looks the
// same selected or not.
COLORREF CSideBarMenu::PaintFills(const DRAWITEMSTRUCT& item, const RECT& highlight,
                                   const Palette& colours) const {
    const bool drawEntire = (item.itemAction & ODA_DRAWENTIRE) != 0;
    const bool selectionChanged = (item.itemAction & ODA_SELECT) != 0;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    COLORREF colour = colours.text;
    if (drawEntire) Fill(item.hDC, item.rcItem, colours.back);
    if (selected && (drawEntire || selectionChanged)) {
        colour = colours.selectText;
        Fill(item.hDC, highlight, colours.select);
    } else if (!selected && selectionChanged) {
        Fill(item.hDC, highlight, colours.back);
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

    const UniqueFont font = CreateMenuFont(dpi, FW_BOLD, 900);  // running upwards
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
