#pragma once
// Overwrites a secret (password, digest, token) before its memory goes back
// to the heap, so that it does not linger there for a memory dump or a
// swap file to find. Pure; any thread.
#include <algorithm>

namespace kov {

// Every character the text's buffer holds, beyond its length too, is zeroed
// through a volatile pointer the compiler cannot drop; the text is then empty.
template <typename Text>
void WipeText(Text& text) {
    text.resize(text.capacity());
    volatile auto* characters = text.data();
    std::fill(characters, characters + text.size(), typename Text::value_type());
    text.clear();
}

}  // namespace kov
