#pragma once

#include "platform/UserDefaults.h"

#include <map>

namespace knokle::test {

// A user-defaults store in memory; writes can be made to fail silently, as a full disk would.
class MemoryUserDefaults final : public UserDefaults {
public:
    std::optional<StoredValue> object(const std::string& key) const override {
        auto it = values.find(key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void set(const std::string& key, const StoredValue& value) override {
        ++writes;
        if (!failWrites) values[key] = value;
    }
    void remove(const std::string& key) override {
        if (!failWrites) values.erase(key);
    }
    std::vector<std::string> keys() const override {
        std::vector<std::string> out;
        for (const auto& [key, value] : values)
            out.push_back(key);
        return out;
    }

    std::map<std::string, StoredValue> values;
    bool failWrites = false;
    int writes = 0;
};

} // namespace knokle::test
