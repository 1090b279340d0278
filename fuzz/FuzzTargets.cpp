#include "FuzzTargets.h"

#include "MemoryUserDefaults.h"
#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "modes/ModeCoding.h"
#include "platform/linux/browsers/DevToolsTargets.h"
#include "platform/linux/sensors/HidrawManager.h"
#include "platform/linux/runtime/JsonFileDefaults.h"
#include "platform/linux/browsers/LoopbackHttp.h"
#include "sensing/ReportRecording.h"
#include "controller/DefaultsCommand.h"

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

// A recording, read report by report as replay reads it; what is read must write back to the same reports.
void recording(const std::uint8_t* data, std::size_t size) {
    std::istringstream in{std::string(text(data, size))};
    RecordingReader reader(in, "fuzz.rec");
    std::vector<RecordedReport> reports;
    for (RecordedReport report; reader.next(report);)
        reports.push_back(report);
    std::ostringstream written;
    writeRecording(written, reports);
    std::istringstream again(written.str());
    RecordingReader second(again, "again.rec");
    std::size_t count = 0;
    for (RecordedReport report; second.next(report); ++count)
        if (count >= reports.size() || report.bytes != reports[count].bytes) std::abort();
    if (second.error() || count != reports.size()) std::abort();
}

// The store file and a single mode (exec mode's file); a decoded store must encode and decode to itself.
void modes(const std::uint8_t* data, std::size_t size) {
    decodeModeDocument(text(data, size));
    if (auto decoded = decodeModes(text(data, size))) {
        auto again = decodeModes(encodeModes(*decoded));
        if (!again || *again != *decoded) std::abort();
    }
}

// What a DevTools endpoint and a browser's profile folder give us. A response whole before the connection ends
// must read the same once it has ended, and never give more body than allowed.
void devToolsAnswers(const std::uint8_t* data, std::size_t size) {
    pageTargets(text(data, size));
    parseDevToolsActivePort(text(data, size));
    constexpr std::size_t maxBody = 256;
    long status = 0, endedStatus = 0;
    std::string body, endedBody;
    auto early = readHttpResponse(text(data, size), false, maxBody, status, body);
    auto ended = readHttpResponse(text(data, size), true, maxBody, endedStatus, endedBody);
    if (ended == HttpReading::incomplete || (ended == HttpReading::complete && endedBody.size() > maxBody))
        std::abort();
    if (early == HttpReading::complete && (ended != early || endedStatus != status || endedBody != body)) std::abort();
}

// A hidraw device's report descriptor and its uevent file.
void hidrawFiles(const std::uint8_t* data, std::size_t size) {
    topLevelUsages(std::vector<std::uint8_t>(data, data + size));
    parseHidUevent(text(data, size));
}

} // namespace

const std::vector<NamedTarget>& targets() {
    static const std::vector<NamedTarget> all = {
        {"settings-file", settingsFile},
        {"defaults-arguments", defaultsArguments},
        {"recording", recording},
        {"modes", modes},
        {"devtools-answers", devToolsAnswers},
        {"hidraw-files", hidrawFiles},
    };
    return all;
}

} // namespace knokle::fuzz
