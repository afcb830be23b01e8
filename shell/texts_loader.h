#pragma once
// Loads the user-interface texts from a module's string table.
#include <windows.h>

#include <string>

#include "core/texts.h"

namespace kov {

// String-table entry `id` of `module` as Windows-1251 bytes; "" when the entry
// is missing or empty.
std::string LoadTableText(HMODULE module, UINT id);

// The table entry of one text, or its compiled-in copy when the entry is
// missing or empty.
std::string LoadText(HMODULE module, TextId id);

// Every text starts as its compiled-in copy and is replaced by the table entry
// with the same id when that entry exists and is not empty.
Texts LoadTexts(HMODULE module);

}  // namespace kov
