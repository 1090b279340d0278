#pragma once

#include "platform/UserDefaults.h"

#include <filesystem>
#include <optional>

namespace knokle {

// The user-defaults store as a typed JSON object in one file. Every read parses the file afresh, so another
// process's write is seen at once; every write replaces the file atomically.
class JsonFileDefaults final : public UserDefaults {
public:
    // Without a path: settings.json in $KNOKLE_CONFIG_DIR, else $XDG_CONFIG_HOME/knokle, else ~/.config/knokle.
    explicit JsonFileDefaults(std::optional<std::filesystem::path> file = std::nullopt);

    static std::filesystem::path defaultFile();
    const std::filesystem::path& file() const { return path; }

    std::optional<StoredValue> object(const std::string& key) const override;
    void set(const std::string& key, const StoredValue& value) override;
    void remove(const std::string& key) override;
    void setAll(const std::vector<std::pair<std::string, StoredValue>>& values) override;
    std::vector<std::string> keys() const override;

private:
    std::filesystem::path path;
};

} // namespace knokle
