#pragma once
// Reads extended dialog templates (DLGTEMPLATEEX) as the resource compiler
// wrote them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kov::test {

// A name-or-ordinal field: an ordinal when `ordinal` is set, else `text`.
struct NameOrOrdinal {
    std::optional<uint16_t> ordinal;
    std::wstring text;
};

struct DialogControl {
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    int32_t id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal title;
    uint16_t extraBytes = 0;
};

struct DialogTemplate {
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::wstring caption;
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    uint8_t italic = 0;
    uint8_t charset = 0;
    std::wstring typeface;
    std::vector<DialogControl> controls;
};

// None when the bytes are not a complete extended template.
std::optional<DialogTemplate> ParseDialogTemplate(const std::vector<uint8_t>& bytes);

}  // namespace kov::test
