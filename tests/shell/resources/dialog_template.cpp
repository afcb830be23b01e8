#include "tests/shell/resources/dialog_template.h"

namespace kov::test {
namespace {

constexpr uint32_t kSetFont = 0x40;  // DS_SETFONT: the font fields follow the caption

// Sequential little-endian reader that turns every overrun into a failure.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }

    uint8_t Byte() { return Has(1) ? bytes_[at_++] : 0; }
    uint16_t Word() {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    uint32_t Dword() {
        const uint32_t low = Word();
        return low | static_cast<uint32_t>(Word()) << 16;
    }
    int16_t Short() { return static_cast<int16_t>(Word()); }

    std::wstring String() {
        std::wstring text;
        for (uint16_t c = Word(); ok_ && c != 0; c = Word()) text.push_back(static_cast<wchar_t>(c));
        return text;
    }

    NameOrOrdinal NameOrOrdinalField() {
        NameOrOrdinal field;
        const uint16_t first = Word();
        if (first == 0xFFFF) {
            field.ordinal = Word();
        } else if (first != 0) {
            field.text.push_back(static_cast<wchar_t>(first));
            field.text += String();
        }
        return field;
    }

    void Skip(size_t count) {
        if (Has(count)) at_ += count;
    }
    void AlignToDword() { Skip((4 - at_ % 4) % 4); }

private:
    bool Has(size_t count) {
        if (at_ + count > bytes_.size()) ok_ = false;
        return ok_;
    }

    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

DialogControl ReadControl(Reader& in) {
    in.AlignToDword();
    DialogControl control;
    control.helpId = in.Dword();
    control.exStyle = in.Dword();
    control.style = in.Dword();
    control.x = in.Short();
    control.y = in.Short();
    control.cx = in.Short();
    control.cy = in.Short();
    control.id = static_cast<int32_t>(in.Dword());
    control.windowClass = in.NameOrOrdinalField();
    control.title = in.NameOrOrdinalField();
    control.extraBytes = in.Word();
    in.Skip(control.extraBytes);
    return control;
}

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(const std::vector<uint8_t>& bytes) {
    Reader in(bytes);
    if (in.Word() != 1 || in.Word() != 0xFFFF) return std::nullopt;  // version 1, extended form
    DialogTemplate dialog;
    in.Dword();  // help id
    dialog.exStyle = in.Dword();
    dialog.style = in.Dword();
    const uint16_t count = in.Word();
    dialog.x = in.Short();
    dialog.y = in.Short();
    dialog.cx = in.Short();
    dialog.cy = in.Short();
    dialog.menu = in.NameOrOrdinalField();
    dialog.windowClass = in.NameOrOrdinalField();
    dialog.caption = in.String();
    if (dialog.style & kSetFont) {
        dialog.pointSize = in.Word();
        dialog.weight = in.Word();
        dialog.italic = in.Byte();
        dialog.charset = in.Byte();
        dialog.typeface = in.String();
    }
    for (uint16_t i = 0; i < count && in.ok(); ++i) dialog.controls.push_back(ReadControl(in));
    if (!in.ok()) return std::nullopt;
    return dialog;
}

}  // namespace kov::test
