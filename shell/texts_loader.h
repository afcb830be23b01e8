#pragma once
// Loads the user-interface texts from a module's string table. Which table
// entry holds which text is decided here, once.
#include <windows.h>

#include <string>

#include "core/texts.h"

namespace kov {

// The string-table id (IDS_... in shell/res/resource.h) of a text.
UINT StringId(TextId id);

// String-table entry `id` of `module` as Windows-1251 bytes; "" when the entry
// is missing or empty.
std::string LoadTableText(HMODULE module, UINT id);

// The table entry of one text, or its compiled-in copy when the entry is
// missing or empty.
std::string LoadText(HMODULE module, TextId id);

// Every text starts as its compiled-in copy and is replaced by its table entry
// when that entry exists and is not empty.
Texts LoadTexts(HMODULE module);

}  // namespace kov
