#pragma once
// Shared pieces of the menu tests: a 32-bit memory canvas whose pixels are
// read back exactly, draw and measure records as the system fills them,
// synthetic icons, and a count of the drawing objects made and released.
#include <windows.h>

#include <functional>
#include <set>
#include <string>

#include "winsupport/handles.h"
#include "shell/side_bar_menu.h"

namespace kov::test {

// A top-down 32-bit DIB section selected into a memory drawing context.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    COLORREF Pixel(int x, int y) const;
    void Fill(COLORREF colour);
    // Pixels inside the rectangle (clipped to the canvas) that have this colour.
    int Count(const RECT& area, COLORREF colour) const;
    // Pixels inside the rectangle that differ from this colour.
    int CountOther(const RECT& area, COLORREF colour) const;

private:
    int width_;
    int height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previousBitmap_;
    DWORD* bits_ = nullptr;
};

// The item data the menu makes for a text, kept for the test's run.
ULONG_PTR ItemData(const char* text);

// What the system hands to DrawItem for a menu item; its data as ItemData.
DRAWITEMSTRUCT DrawRecord(HDC dc, const RECT& rect, UINT id, const char* text, UINT action,
                          UINT state);
MEASUREITEMSTRUCT MeasureRecord(UINT id, const char* text);

// A 16x16 icon of one colour whose listed corner pixels are transparent.
UniqueIcon MakeIcon(COLORREF colour, bool transparentCorners = false);
// 16-pixel menu icons of these colours, in this order, with transparent corners.
MenuIcons MakeIcons(std::initializer_list<COLORREF> colours);

// The text height and width of a text in the screen's drawing context with
// the system's menu font.
SIZE ScreenTextSize(const std::string& text);

// Counts, through the program's import table, the drawing contexts, GDI
// objects and icons created and released while it exists. Only one may exist
// at a time, on the thread that draws.
class GdiBalance {
public:
    GdiBalance();
    ~GdiBalance();
    GdiBalance(const GdiBalance&) = delete;
    GdiBalance& operator=(const GdiBalance&) = delete;

    // Handles created and not yet released.
    std::size_t Live() const;
    std::size_t Created() const;
    // Releases of handles that were not created while counting (for instance
    // the objects the caller had selected into its drawing context).
    std::size_t ForeignReleases() const;
    // Whether every counted function was found in the import table.
    bool Hooked() const;
};

// Menu strings, as the resources give them (Windows-1251).
extern const char kOnlineText[];   // "Онлайн"
extern const char kAboutText[];    // "О программе..."

}  // namespace kov::test
