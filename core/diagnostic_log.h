#pragma once
// Where the agent tells support what it did: one line per event. Off by
// default; the core then holds a log that writes nothing. Lines are composed
// by the functions of diagnostic_lines.h, never with a password, its digest or
// a token in them.
#include <string_view>

namespace kov {

class DiagnosticLog {
public:
    virtual ~DiagnosticLog() = default;
    // One event, Windows-1251, without a line end. Called from any thread;
    // returns promptly and never fails (a line that cannot be kept is lost).
    virtual void Write(std::string_view line) = 0;
};

// The log when it is off.
class NoDiagnosticLog final : public DiagnosticLog {
public:
    void Write(std::string_view) override {}
};

}  // namespace kov
