#pragma once
// printf's %s and %d for the tray's texts, without the C runtime's printf: on
// Windows that brings in MinGW's own formatter, floating point included, worth
// 28 KiB of the agent. Pure functions, any thread.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kov {

// A text for %s or a number for %d.
class FormatArg {
public:
    FormatArg(const char* text) : text_(text ? text : "") {}
    FormatArg(std::int32_t number) : number_(number), isNumber_(true) {}

    void AppendTo(std::string& out) const;

private:
    std::string_view text_;
    std::int32_t number_ = 0;
    bool isNumber_ = false;
};

// Each %s or %d takes the next argument (a number in decimal, a text as it is;
// none left: nothing); "%%" is "%"; anything else is copied.
std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace kov
