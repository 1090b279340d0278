#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace knokle {

// A stored setting keeps its type. OtherValue stands for anything else found in the store (an array, an
// object, null), which every reading treats as the wrong type.
struct OtherValue {
    bool operator==(const OtherValue&) const = default;
};
using StoredValue = std::variant<OtherValue, bool, std::int64_t, double, std::string>;

// The user-defaults store. Reads go to the store every time, so a value written by another process is
// seen by the next read.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;
    virtual std::optional<StoredValue> object(const std::string& key) const = 0;
    virtual void set(const std::string& key, const StoredValue& value) = 0;
    virtual void remove(const std::string& key) = 0;
    // Values that belong together, written at once so that no reader sees some of them without the others.
    virtual void setAll(const std::vector<std::pair<std::string, StoredValue>>& values) {
        for (const auto& [key, value] : values)
            set(key, value);
    }
    // Every key present, in the store's own order (for listing the whole store). A store that cannot list
    // its keys answers with none.
    virtual std::vector<std::string> keys() const { return {}; }
};

} // namespace knokle
