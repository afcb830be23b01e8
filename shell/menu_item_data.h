#pragma once
// The data of an owner-drawn menu item: its accessible name first, in the
// layout screen readers look for at the item data's address, then the text
// the menu draws. Made and read on the UI thread; the menu that holds it keeps
// it at one address for as long as the menu handle lives.
#include <windows.h>
#include <oleacc.h>

#include <string_view>

#include "winsupport/wide_text.h"

namespace kov {

class OwnerDrawnItem {
public:
    // The Windows-1251 text, with '&' before its access key; "" for a separator.
    explicit OwnerDrawnItem(std::string_view text);
    OwnerDrawnItem(const OwnerDrawnItem&) = delete;
    OwnerDrawnItem& operator=(const OwnerDrawnItem&) = delete;

    // The item data that leads back here, and the way back; null for none.
    ULONG_PTR Data() const { return reinterpret_cast<ULONG_PTR>(this); }
    static const OwnerDrawnItem* FromData(ULONG_PTR itemData);

    const WideString& Text() const { return text_; }
    bool IsSeparator() const { return text_.empty(); }
    // The letter after the single '&', in upper case; 0 for none.
    wchar_t AccessKey() const;

private:
    // First: the item data's address is that of this record.
    MSAAMENUINFO accessible_;
    WideString text_;
};

// The character in upper case, as menus compare access keys.
wchar_t UpperCase(wchar_t character);

}  // namespace kov
