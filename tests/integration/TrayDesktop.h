#pragma once

// A desktop as a tray program sees it: a private X server with a window
// manager, a private session bus and a small StatusNotifierWatcher (tray_host.py), started before the program.

#include "TempDir.h"
#include "XSession.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReportRecording.h"
#include "sensing/SyntheticMotion.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace knokle::test {

inline const std::string kTrayHost = std::string(KNOKLE_SOURCE_DIR) + "/tests/integration/tray_host.py";

// Writes a file and the folders it needs.
inline void put(const std::filesystem::path& file, const std::string& content, bool executable = false) {
    std::filesystem::create_directories(file.parent_path());
    ASSERT_TRUE(writeFileAtomically(file, content)) << file;
    if (executable) std::filesystem::permissions(file, std::filesystem::perms::owner_all);
}

// A recording of these reports, then of the ones the accelerometer sends for the motion.
inline std::string recording(const std::filesystem::path& file, const SyntheticMotion& motion,
                             std::vector<RecordedReport> reports = {}) {
    for (const auto& s : motion.samples())
        reports.push_back({s.t, encodeReport(s.x, s.y, s.z)});
    std::ofstream out(file);
    writeRecording(out, reports);
    return file.string();
}

class TrayDesktop {
public:
    TempDir dir;
    XSession session{true};
    std::string busAddress;
    std::string item; // the registered item, "BUSNAME/PATH"

    explicit TrayDesktop(bool withWatcher = true) {
        std::filesystem::create_directories(dir / "run");
        ::chmod((dir / "run").c_str(), 0700);
        bus.emplace(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"},
            std::vector<std::string>{"PATH=/usr/bin:/bin", "XDG_DATA_HOME=" + (dir / "config/xdg-data").string()},
            dir / "bus.out");
        waitFor([&] { return !bus->lines().empty(); }, 5000);
        busAddress = bus->lines().empty() ? "" : bus->lines()[0];
        if (!withWatcher || busAddress.empty()) return;
        watcher.emplace(std::vector<std::string>{"/usr/bin/python3", kTrayHost, "watch", (dir / "watch.log").string()},
                        busEnvironment(), dir / "watcher.out");
        waitFor([&] { return text(dir / "watch.log").find("ready") != std::string::npos; });
    }

    bool ok() const { return session.ok() && !busAddress.empty(); }

    // The environment of a program on this desktop, with settings, modes and runtime files in `config`.
    std::vector<std::string> environment(const std::string& config = "config") const {
        auto env = busEnvironment();
        const auto root = dir / config;
        env.insert(env.end(),
                   {"KNOKLE_CONFIG_DIR=" + (root / "settings").string(), "KNOKLE_DATA_DIR=" + (root / "data").string(),
                    "XDG_CONFIG_HOME=" + (root / "xdg-config").string(),
                    "XDG_DATA_HOME=" + (root / "xdg-data").string(), "XDG_DATA_DIRS=" + (dir / "none").string(),
                    "HOME=" + dir.path().string(), "XDG_RUNTIME_DIR=" + (dir / "run").string(), "QT_QPA_PLATFORM=xcb"});
        return env;
    }

    Child start(const std::vector<std::string>& args, const std::vector<std::string>& extra = {},
                const std::string& config = "config", const std::string& log = "program.log") {
        auto env = environment(config);
        env.insert(env.end(), extra.begin(), extra.end());
        std::vector<std::string> argv{"timeout", "90", KNOKLE_EXECUTABLE};
        argv.insert(argv.end(), args.begin(), args.end());
        return Child(argv, env, dir / log);
    }

    // Waits for an item to register with the watcher.
    bool waitForItem() {
        return waitFor([&] {
            std::string time, name, path;
            if (registered().empty()) return false;
            std::istringstream(registered()[0]) >> time >> name >> path;
            item = name + path;
            return true;
        });
    }
    std::vector<std::string> registered() const {
        auto lines = ProgramResult{0, text(dir / "watch.log")}.lines();
        std::erase(lines, "ready");
        return lines;
    }

    // Runs tray_host.py with a command on the registered item; its standard output.
    std::string host(const std::vector<std::string>& args) const {
        std::string command =
            "env DBUS_SESSION_BUS_ADDRESS=" + shellQuoted(busAddress) + " /usr/bin/python3 " + shellQuoted(kTrayHost);
        for (const auto& a : args)
            command += " " + shellQuoted(a);
        return commandOutput(command);
    }
    nlohmann::json menu() const { return nlohmann::json::parse(host({"layout", item}), nullptr, false); }
    void click(const std::string& label) const { host({"click", item, label}); }

    std::string log(const std::string& name = "program.log") const { return text(dir / name); }
    bool waitForLog(const std::string& part, int limitMs = 10000) const {
        return waitFor([&] { return log().find(part) != std::string::npos; }, limitMs);
    }
    nlohmann::json settings() const {
        auto json = nlohmann::json::parse(text(dir / "config/settings/settings.json"), nullptr, false);
        return json.is_object() ? json : nlohmann::json::object();
    }

private:
    std::vector<std::string> busEnvironment() const {
        return {"DISPLAY=" + session.display(), "DBUS_SESSION_BUS_ADDRESS=" + busAddress, "PATH=/usr/bin:/bin"};
    }

    std::optional<Child> bus;
    std::optional<Child> watcher;
};

} // namespace knokle::test
