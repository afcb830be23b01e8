#include "format_text.h"

namespace kov {

void FormatArg::AppendTo(std::string& out) const {
    if (!isNumber_) {
        out.append(text_.data(), text_.size());
        return;
    }
    char digits[12];
    int at = sizeof digits;
    // In 64 bits, so that the lowest number has a magnitude too.
    std::int64_t rest = number_ < 0 ? -static_cast<std::int64_t>(number_) : number_;
    do {
        digits[--at] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (number_ < 0) digits[--at] = '-';
    out.append(digits + at, sizeof digits - at);
}

std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args) {
    std::string out;
    const FormatArg* next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        const char conversion = i + 1 < format.size() ? format[i + 1] : '\0';
        if (c != '%' || (conversion != 's' && conversion != 'd' && conversion != '%')) {
            out += c;
            continue;
        }
        ++i;
        if (conversion == '%') {
            out += '%';
        } else if (next != args.end()) {
            (next++)->AppendTo(out);
        }
    }
    return out;
}

}  // namespace kov
