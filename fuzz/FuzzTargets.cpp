#include "FuzzTargets.h"

#include "MemoryUserDefaults.h"
#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "platform/linux/JsonFileDefaults.h"
#include "shell/DefaultsCommand.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace knokle::fuzz {
namespace {

std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A private folder for the targets that need a real file, made once per process.
const std::filesystem::path& scratch() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "knokle-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratch(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

void quiet() {
    setLineSink([](std::string_view) {});
}

// The settings file as found on disk: read every key, then write one (which keeps an unreadable file aside).
void settingsFile(const std::uint8_t* data, std::size_t size) {
    quiet();
    std::error_code ignored;
    std::filesystem::remove_all(scratch(), ignored);
    std::filesystem::create_directories(scratch(), ignored);
    auto file = scratch() / "settings.json";
    writeFileAtomically(file, text(data, size));
    JsonFileDefaults store(file);
    for (const auto& key : store.keys())
        store.object(key);
    store.set("tapsActive", true);
    store.object("tapsActive");
}

// The defaults command's arguments, separated by NUL bytes, against a real settings file.
void defaultsArguments(const std::uint8_t* data, std::size_t size) {
    quiet();
    std::vector<std::string> args(1);
    for (char c : text(data, size)) {
        if (c == '\0')
            args.emplace_back();
        else
            args.back() += c;
    }
    std::error_code ignored;
    std::filesystem::remove(scratch() / "settings.json", ignored);
    JsonFileDefaults store(scratch() / "settings.json");
    std::ostringstream out, err;
    runDefaultsCommand(args, store, out, err);
    test::MemoryUserDefaults memory;
    runDefaultsCommand(args, memory, out, err);
}

} // namespace

const std::vector<NamedTarget>& targets() {
    static const std::vector<NamedTarget> all = {
        {"settings-file", settingsFile},
        {"defaults-arguments", defaultsArguments},
    };
    return all;
}

} // namespace knokle::fuzz
