#pragma once
// A per-user profile kept in memory, for tests. It records every write so a
// test can tell "wrote an empty value" from "wrote nothing". Safe to use from
// several threads, since the agent's workers may sign in or out.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/settings.h"

namespace kov::test {

class MemoryProfileStore : public ProfileStore {
public:
    struct Write {
        std::string section;
        std::string name;
        std::string value;
        bool operator==(const Write& other) const {
            return section == other.section && name == other.name && value == other.value;
        }
    };

    std::string ReadString(const std::string& section, const std::string& name) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = values_.find({section, name});
        return found == values_.end() ? std::string() : found->second;
    }

    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override {
        std::lock_guard<std::mutex> lock(mutex_);
        values_[{section, name}] = value;
        writes_.push_back({section, name, value});
    }

    // Secrets are kept as they are: their encryption is the registry store's.
    std::string ReadSecret(const std::string& section, const std::string& name) override {
        return ReadString(section, name);
    }
    void WriteSecret(const std::string& section, const std::string& name, const std::string& value) override {
        WriteString(section, name, value);
    }

    // Sets a value as if an earlier run had stored it; not counted as a write.
    void Preset(const std::string& section, const std::string& name, const std::string& value) {
        std::lock_guard<std::mutex> lock(mutex_);
        values_[{section, name}] = value;
    }

    // The stored value; nullopt when the value does not exist at all.
    std::optional<std::string> Stored(const std::string& section, const std::string& name) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = values_.find({section, name});
        if (found == values_.end()) return std::nullopt;
        return found->second;
    }

    std::vector<Write> Writes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return writes_;
    }

private:
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, std::string>, std::string> values_;
    std::vector<Write> writes_;
};

}  // namespace kov::test
