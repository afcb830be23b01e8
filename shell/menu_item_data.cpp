#include "shell/menu_item_data.h"

namespace kov {

OwnerDrawnItem::OwnerDrawnItem(std::string_view text) : accessible_{}, text_(WideFrom1251(text)) {
    accessible_.dwMSAASignature = MSAA_MENU_SIG;
    accessible_.cchWText = static_cast<DWORD>(text_.size());
    accessible_.pszWText = text_.data();
}

const OwnerDrawnItem* OwnerDrawnItem::FromData(ULONG_PTR itemData) {
    const auto* item = reinterpret_cast<const OwnerDrawnItem*>(itemData);
    return item && item->accessible_.dwMSAASignature == MSAA_MENU_SIG ? item : nullptr;
}

// "&&" stands for an ampersand of the text, not for an access key.
wchar_t OwnerDrawnItem::AccessKey() const {
    for (std::size_t at = 0; at + 1 < text_.size(); ++at) {
        if (text_[at] != L'&') continue;
        if (text_[at + 1] != L'&') return UpperCase(text_[at + 1]);
        ++at;
    }
    return 0;
}

wchar_t UpperCase(wchar_t character) {
    return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(
        ::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(character)))));
}

}  // namespace kov
