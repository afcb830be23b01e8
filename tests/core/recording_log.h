#pragma once
// A diagnostic log that keeps its lines for the test to read.
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/diagnostic_log.h"

namespace kov::test {

class RecordingLog final : public DiagnosticLog {
public:
    void Write(std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
    }

    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

    std::string All() const {
        std::string all;
        for (const std::string& line : Lines()) all += line + "\n";
        return all;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace kov::test
