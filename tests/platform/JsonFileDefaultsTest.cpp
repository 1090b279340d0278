// What a stray value or a damaged, linked or half-written settings file does to the store and the settings
// command: never a crash, never a lost file.
#include "platform/linux/runtime/JsonFileDefaults.h"
#include "LineCapture.h"
#include "ProgramRun.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;

// The folder rules are XdgFolders'; here, that the store asks them with the real environment.
TEST(JsonFileDefaults, FileLocationFromTheEnvironment) {
    test::ScopedEnv configDir("KNOKLE_CONFIG_DIR", "/c");
    EXPECT_EQ(JsonFileDefaults::defaultFile().string(), "/c/settings.json");
}

TEST(JsonFileDefaults, TypesSurviveTheFileAndOutsideChangesAreSeen) {
    test::TempDir dir;
    auto file = dir / "deep/knokle/settings.json";
    JsonFileDefaults store(file), other(file);
    EXPECT_FALSE(store.object("tapsActive"));
    const std::pair<std::string, StoredValue> values[] = {{"tapsActive", true},
                                                          {"firmness", std::int64_t(1)},
                                                          {"cooldownSeconds", 2.0}, // not to become 2
                                                          {"hotkeyDisplay", std::string("⌥⌘T")}};
    store.set(values[0].first, values[0].second);
    store.set(values[1].first, values[1].second);
    store.setAll({values[2], values[3]}); // one write for values that belong together
    for (const auto& [key, value] : values)
        EXPECT_EQ(other.object(key), value) << key;
    EXPECT_EQ(other.keys(), (std::vector<std::string>{"tapsActive", "firmness", "cooldownSeconds", "hotkeyDisplay"}));
    store.remove("firmness");
    EXPECT_FALSE(other.object("firmness"));

    ASSERT_TRUE(writeFileAtomically(file, R"({"tapsActive": false, "huge": 18446744073709551615, "x": [1]})"));
    EXPECT_EQ(store.object("tapsActive"), StoredValue(false));
    EXPECT_EQ(store.object("huge"), StoredValue(18446744073709551615.0)) << "too big for an integer";
    EXPECT_EQ(store.object("x"), StoredValue(OtherValue{}));
}

TEST(JsonFileDefaults, AnUnreadableFileReadsEmptyAndIsKeptAsideBeforeTheFirstWrite) {
    const std::string deep = "{\"x\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    // 60 levels, and brackets inside strings, are fine.
    const std::string shallow = "{\"x\": " + std::string(60, '[') + std::string(60, ']') + ", \"y\": \"[[[[\"}";
    // An empty file holds nothing that could be lost.
    const std::pair<std::string, bool> cases[] = {
        {"{not json", true}, {"[1, 2]", true}, {"\"text\"", true}, {"{\"a\": 1} trailing", true},
        {deep, true},        {" \n", false},   {shallow, false}};
    for (const auto& [content, unreadable] : cases) {
        SCOPED_TRACE(content.substr(0, 20));
        test::TempDir dir;
        auto file = dir / "settings.json";
        ASSERT_TRUE(writeFileAtomically(file, content));
        JsonFileDefaults store(file);
        test::LineCapture lines;
        std::size_t kept = content == shallow ? 2 : 0;
        EXPECT_FALSE(store.object("a"));
        EXPECT_EQ(store.keys().size(), kept);
        store.remove("a");
        EXPECT_EQ(readWholeFile(file), content) << "reading or removing alone never moves the file";

        store.set("tapsActive", true);
        std::vector<fs::path> aside;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path() != file && entry.path().filename() != ".settings.json.lock") aside.push_back(entry.path());
        ASSERT_EQ(aside.size(), unreadable ? 1u : 0u);
        if (unreadable) {
            EXPECT_EQ(readWholeFile(aside[0]), content);
            EXPECT_EQ(lines.lines(), std::vector<std::string>{"[info] Settings file " + file.string() +
                                                              " could not be read; kept it as " + aside[0].string()});
        }
        EXPECT_EQ(store.keys().size(), kept + 1);
        EXPECT_EQ(store.object("tapsActive"), StoredValue(true));
    }
}

TEST(JsonFileDefaults, WritesGoThroughLinksToRegularFilesKeepPermissionsAndClearCrashLeftovers) {
    test::TempDir dir;
    auto file = dir / "settings.json";
    auto real = dir / "dotfiles" / "knokle.json";
    fs::create_directories(real.parent_path());
    writeFileAtomically(real, "{}");
    ::chmod(real.c_str(), 0600);
    fs::create_symlink("dotfiles/knokle.json", file);
    // Beside the real file: a temporary file a crash left minutes ago, one a writer may still hold, and an old
    // file that is not one of ours.
    auto stale = real.parent_path() / ".knokle.json.Ab12Cd";
    auto fresh = real.parent_path() / ".knokle.json.Ef34Gh";
    auto another = real.parent_path() / ".knokle.json.toolong1";
    for (const auto& leftover : {stale, fresh, another})
        writeFileAtomically(leftover, "{");
    for (const auto& leftover : {stale, another})
        fs::last_write_time(leftover, fs::file_time_type::clock::now() - std::chrono::minutes(2));

    JsonFileDefaults(file).set("autoPause", false);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_NE(readWholeFile(real)->find("\"autoPause\": false"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(another));

    mode_t previous = ::umask(027); // a new file follows the umask
    JsonFileDefaults(dir / "new.json").set("autoPause", false);
    ::umask(previous);
    ASSERT_EQ(::stat((dir / "new.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // A link to anything but the user's regular file is never written through.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink("fifo", dir / "fifo.json");
    test::LineCapture lines;
    JsonFileDefaults(dir / "fifo.json").set("autoPause", false);
    EXPECT_TRUE(fs::is_symlink(dir / "fifo.json"));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_EQ(lines.lines(), std::vector<std::string>{"[info] Settings file " + (dir / "fifo.json").string() +
                                                      " is a link to something other than a regular file of yours; "
                                                      "the setting was not saved"});
}

TEST(JsonFileDefaults, AFifoOrAHugeFileReadsEmptyAndIsKeptAsideWithItsReason) {
    const std::pair<std::function<void(const fs::path&)>, std::string> cases[] = {
        {[](const fs::path& file) { ::mkfifo(file.c_str(), 0600); }, "is not a regular file"},
        {[](const fs::path& file) {
             writeFileAtomically(file, "{}");
             fs::resize_file(file, 2u << 20);
         },
         "is larger than 1 MB"},
    };
    for (const auto& [make, reason] : cases) {
        test::TempDir dir;
        auto file = dir / "settings.json";
        make(file);
        test::LineCapture lines;
        JsonFileDefaults store(file);
        EXPECT_EQ(store.object("autoPause"), std::nullopt);
        store.set("autoPause", false);
        EXPECT_EQ(store.object("autoPause"), StoredValue(false)) << reason;
        ASSERT_EQ(lines.lines().size(), 1u);
        EXPECT_TRUE(lines.lines()[0].starts_with("[info] Settings file " + file.string() + " " + reason +
                                                 "; kept it as " + file.string() + ".unreadable-"))
            << lines.lines()[0];
    }
}

TEST(JsonFileDefaults, ConcurrentWritersKeepEveryKey) {
    test::TempDir dir;
    auto file = dir / "settings.json";
    std::vector<pid_t> writers;
    for (int writer = 0; writer < 2; ++writer) {
        pid_t pid = ::fork();
        if (pid == 0) {
            JsonFileDefaults store(file);
            for (int key = 0; key < 100; ++key)
                store.set("w" + std::to_string(writer) + "-" + std::to_string(key), std::int64_t{key});
            ::_exit(0);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers)
        ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(JsonFileDefaults(file).keys().size(), 200u);
}

TEST(JsonFileDefaults, AWritePastTheFileSizeLimitIsReportedNotASignal) {
    test::TempDir dir;
    auto config = dir.path().string();
    writeFileAtomically(dir / "settings.json", "{}\n");
    // The program must ignore the signal itself: an ignored signal would be inherited from this test.
    auto previous = std::signal(SIGXFSZ, SIG_DFL);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit limited{16, before.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limited);
    auto run = test::runProgram({"KNOKLE_CONFIG_DIR=" + config},
                                {"defaults", "write", "a-long-enough-key", "-string", "past sixteen bytes"});
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(run.has("[info] Settings file " + (dir / "settings.json").string() +
                        " could not be written; the setting was not saved"))
        << run.output;
    EXPECT_EQ(readWholeFile(dir / "settings.json"), "{}\n");
}
