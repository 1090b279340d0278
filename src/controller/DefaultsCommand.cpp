#include "controller/DefaultsCommand.h"

#include "common/TextFormat.h"
#include "common/UnicodeText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace knokle {
namespace {

constexpr const char* kUsage = "usage: knokle defaults read [KEY]\n"
                               "       knokle defaults write KEY -bool|-int|-float|-string VALUE\n"
                               "       knokle defaults delete KEY\n";

std::optional<bool> parseBool(const std::string& text) {
    if (text == "true" || text == "yes" || text == "1") return true;
    if (text == "false" || text == "no" || text == "0") return false;
    return std::nullopt;
}

std::optional<std::int64_t> parseInt(const std::string& text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::optional<double> parseFloat(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<StoredValue> parseTyped(const std::string& flag, const std::string& text, std::ostream& err) {
    if (flag == "-string") return StoredValue(text);
    if (flag == "-bool") {
        if (auto b = parseBool(text)) return StoredValue(*b);
        err << "knokle defaults: -bool takes true, false, yes, no, 1 or 0, not " << quotedLiteral(text) << "\n";
    } else if (flag == "-int") {
        if (auto i = parseInt(text)) return StoredValue(*i);
        err << "knokle defaults: -int takes a whole number in the 64-bit range, not " << quotedLiteral(text) << "\n";
    } else if (flag == "-float") {
        if (auto d = parseFloat(text)) return StoredValue(*d);
        err << "knokle defaults: -float takes a finite number, not " << quotedLiteral(text) << "\n";
    } else {
        err << "knokle defaults: unknown type " << quotedLiteral(flag) << " (use -bool, -int, -float or -string)\n";
    }
    return std::nullopt;
}

std::string jsonText(const StoredValue& value) {
    if (auto* s = std::get_if<std::string>(&value)) return quotedLiteral(*s);
    return describeStoredValue(value);
}

} // namespace

std::string describeStoredValue(const StoredValue& value) {
    if (auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
    if (auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&value)) return shortestDecimal(*d);
    if (auto* s = std::get_if<std::string>(&value)) return *s;
    return "null";
}

int runDefaultsCommand(const std::vector<std::string>& args, UserDefaults& defaults, std::ostream& out,
                       std::ostream& err) {
    const std::string verb = args.empty() ? "" : args[0];
    if (verb == "read" && args.size() == 1) {
        out << "{\n";
        auto keys = defaults.keys();
        for (size_t i = 0; i < keys.size(); ++i) {
            auto value = defaults.object(keys[i]);
            out << "    " << quotedLiteral(keys[i]) << ": " << (value ? jsonText(*value) : "null")
                << (i + 1 < keys.size() ? "," : "") << "\n";
        }
        out << "}\n";
        return 0;
    }
    if (verb == "read" && args.size() == 2) {
        auto value = defaults.object(args[1]);
        if (!value) {
            err << "knokle defaults: the key " << quotedLiteral(args[1]) << " is not set\n";
            return 1;
        }
        out << describeStoredValue(*value) << "\n";
        return 0;
    }
    if ((verb == "write" || verb == "delete") && args.size() >= 2 && !isValidUtf8(args[1])) {
        err << "knokle defaults: the key is not valid UTF-8 text\n";
        return 1;
    }
    if (verb == "write" && args.size() == 4) {
        if (!isValidUtf8(args[3])) {
            err << "knokle defaults: the value is not valid UTF-8 text\n";
            return 1;
        }
        auto value = parseTyped(args[2], args[3], err);
        if (!value) return 1;
        defaults.set(args[1], *value);
        // The store reports nothing on a failed write; reading back tells.
        if (defaults.object(args[1]) != value) {
            err << "knokle defaults: the setting " << quotedLiteral(args[1]) << " could not be saved\n";
            return 1;
        }
        return 0;
    }
    if (verb == "delete" && args.size() == 2) {
        defaults.remove(args[1]);
        if (defaults.object(args[1])) {
            err << "knokle defaults: the setting " << quotedLiteral(args[1]) << " could not be deleted\n";
            return 1;
        }
        return 0;
    }
    err << kUsage;
    return 1;
}

} // namespace knokle
