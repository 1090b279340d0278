#include "platform/linux/GioWorkspace.h"

#include "common/AtomicFile.h"
#include "platform/linux/ProcFiles.h"

#include <charconv>
#include <csignal>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace knokle {
namespace {

namespace fs = std::filesystem;

// Launched programs must not write into our standard output, where the diagnostic lines go.
constexpr auto kSpawnFlags =
    static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);

// Descendants of a launched program inherit its variables; an ancestor chain longer than this is a loop.
constexpr int kMaxAncestors = 64;

struct ProcessFacts {
    ProcStat stat;
    std::optional<std::string> desktopFile;
    std::optional<pid_t> desktopFilePid;
};

std::optional<pid_t> parsePid(std::string_view text) {
    pid_t value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

std::string readLink(const fs::path& path) {
    std::error_code ec;
    std::string target = fs::read_symlink(path, ec).string();
    if (ec) return {};
    const std::string deleted = " (deleted)";
    if (target.ends_with(deleted)) target.resize(target.size() - deleted.size());
    return target;
}

template <typename T> struct GObjectDeleter {
    void operator()(T* object) const {
        if (object) g_object_unref(object);
    }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

std::string takeError(GError* error, const std::string& fallback) {
    if (!error) return fallback;
    std::string message = error->message ? error->message : fallback;
    g_error_free(error);
    return message;
}

void rememberPid(GDesktopAppInfo*, GPid pid, gpointer userData) {
    *static_cast<GPid*>(userData) = pid;
}

std::string fileStem(const std::string& location) {
    return fs::path(location).stem().string();
}

} // namespace

GioWorkspace::GioWorkspace(fs::path procRoot, std::vector<fs::path> applicationFolders)
    : procRoot(std::move(procRoot)), entries(std::move(applicationFolders), std::chrono::seconds(3)),
      launcher([this] { launcherLoop(); }) {}

GioWorkspace::~GioWorkspace() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    launcher.join();
}

void GioWorkspace::launcherLoop() {
    std::unique_lock lock(mutex);
    while (true) {
        wake.wait(lock, [this] { return stopping || !launches.empty(); });
        if (launches.empty()) return; // stopping, and every launch asked for has run
        auto next = std::move(launches.front());
        launches.pop_front();
        lock.unlock();
        next();
        lock.lock();
    }
}

std::vector<RunningApplication> GioWorkspace::runningApplications() {
    std::map<pid_t, ProcessFacts> processes;
    std::error_code ec;
    for (fs::directory_iterator it(procRoot, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        auto pid = parsePid(it->path().filename().string());
        if (!pid) continue;
        auto statText = readWholeFile(it->path() / "stat");
        auto stat = statText ? parseProcStat(*statText) : std::nullopt;
        if (!stat) continue; // gone meanwhile
        ProcessFacts facts{*stat, {}, {}};
        // Only our own processes' environments are readable; the others fall back to cgroup and program.
        if (auto environ = readWholeFile(it->path() / "environ")) {
            facts.desktopFile = environValue(*environ, "GIO_LAUNCHED_DESKTOP_FILE");
            if (auto pidText = environValue(*environ, "GIO_LAUNCHED_DESKTOP_FILE_PID"))
                facts.desktopFilePid = parsePid(*pidText);
        }
        processes.emplace(*pid, std::move(facts));
    }

    // The variables are trusted when they name this process, or an ancestor that carries the same file:
    // a process that left its launcher's family (or a reused pid) keeps stale ones.
    auto launchedFile = [&](pid_t pid, const ProcessFacts& facts) -> std::optional<std::string> {
        if (!facts.desktopFile || !facts.desktopFilePid) return std::nullopt;
        pid_t current = pid;
        for (int step = 0; step < kMaxAncestors && current > 0; ++step) {
            auto found = processes.find(current);
            if (found == processes.end() || found->second.desktopFile != facts.desktopFile) return std::nullopt;
            if (current == *facts.desktopFilePid) return facts.desktopFile;
            current = found->second.stat.parent;
        }
        return std::nullopt;
    };

    std::vector<RunningApplication> result;
    for (const auto& [pid, facts] : processes) {
        std::optional<std::string> id;
        if (auto file = launchedFile(pid, facts)) id = entries.idForFile(*file);
        fs::path dir = procRoot / std::to_string(pid);
        if (!id) {
            if (auto cgroup = readWholeFile(dir / "cgroup"))
                for (const auto& candidate : cgroupApplicationCandidates(*cgroup))
                    if (entries.isInstalled(candidate)) {
                        id = candidate;
                        break;
                    }
        }
        if (!id) {
            std::string exe = readLink(dir / "exe");
            if (!exe.empty()) id = entries.idForProgram(fs::path(exe).filename().string());
            if (!id) {
                auto cmdline = readWholeFile(dir / "cmdline");
                auto arguments = cmdline ? cmdlineArguments(*cmdline) : std::vector<std::string>{};
                if (!arguments.empty() && !arguments[0].empty())
                    id = entries.idForProgram(fs::path(arguments[0]).filename().string());
            }
        }
        if (!id) continue;
        bool terminated = facts.stat.state == 'Z' || facts.stat.state == 'X';
        result.push_back(RunningApplication{id, static_cast<std::int32_t>(pid), terminated});
    }
    return result;
}

void GioWorkspace::forceTerminate(const RunningApplication& application) {
    if (application.processIdentifier >= 1) ::kill(application.processIdentifier, SIGKILL);
}

std::optional<std::string> GioWorkspace::urlForApplication(const std::string& bundleIdentifier) {
    if (bundleIdentifier.empty()) return std::nullopt;
    GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new((bundleIdentifier + ".desktop").c_str()));
    if (!info) return std::nullopt;
    const char* filename = g_desktop_app_info_get_filename(info.get());
    if (!filename) return std::nullopt;
    return std::string(filename);
}

void GioWorkspace::openApplication(const std::string& location, std::function<void(OpenApplicationResult)> completion) {
    auto launch = [this, location, completion = std::move(completion)] {
        OpenApplicationResult result;
        GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(location.c_str()));
        if (!info) {
            result.errorDescription = "\"" + location + "\" is not an application that can be started";
            completion(std::move(result));
            return;
        }
        GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
        GPid pid = 0;
        GError* error = nullptr;
        gboolean launched = g_desktop_app_info_launch_uris_as_manager(info.get(), nullptr, context.get(), kSpawnFlags,
                                                                      nullptr, nullptr, rememberPid, &pid, &error);
        if (!launched) {
            result.errorDescription = takeError(error, "the application could not be started");
        } else {
            auto id = entries.idForFile(location);
            result.application = RunningApplication{id ? id : std::optional<std::string>(fileStem(location)),
                                                    static_cast<std::int32_t>(pid), false};
        }
        completion(std::move(result));
    };
    {
        std::lock_guard lock(mutex);
        launches.push_back(std::move(launch));
    }
    wake.notify_one();
}

void GioWorkspace::openURL(const std::string& url) {
    auto open = [url] {
        GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
        GObjectPtr<GAppInfo> handler;
        if (char* scheme = g_uri_parse_scheme(url.c_str())) {
            handler.reset(g_app_info_get_default_for_uri_scheme(scheme));
            if (!handler && g_ascii_strcasecmp(scheme, "file") == 0) {
                GObjectPtr<GFile> file(g_file_new_for_uri(url.c_str()));
                handler.reset(g_file_query_default_handler(file.get(), nullptr, nullptr));
            }
            g_free(scheme);
        }
        GError* error = nullptr;
        if (handler && G_IS_DESKTOP_APP_INFO(handler.get())) {
            GList uris{const_cast<char*>(url.c_str()), nullptr, nullptr};
            g_desktop_app_info_launch_uris_as_manager(G_DESKTOP_APP_INFO(handler.get()), &uris, context.get(),
                                                      kSpawnFlags, nullptr, nullptr, nullptr, nullptr, &error);
        } else {
            g_app_info_launch_default_for_uri(url.c_str(), context.get(), &error);
        }
        if (error) g_error_free(error); // the outcome of opening a link is not reported
    };
    {
        std::lock_guard lock(mutex);
        launches.push_back(std::move(open));
    }
    wake.notify_one();
}

std::string GioWorkspace::displayName(const std::string& location) {
    GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(location.c_str()));
    if (info)
        if (const char* name = g_app_info_get_display_name(G_APP_INFO(info.get())); name && *name) return name;
    return fileStem(location);
}

std::string GioWorkspace::iconName(const std::string& location) {
    GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(location.c_str()));
    if (!info) return {};
    GIcon* icon = g_app_info_get_icon(G_APP_INFO(info.get())); // owned by the info
    if (!icon) return {};
    if (G_IS_THEMED_ICON(icon)) {
        const char* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        return names && names[0] ? names[0] : "";
    }
    if (G_IS_FILE_ICON(icon)) {
        char* path = g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon)));
        std::string result = path ? path : "";
        g_free(path);
        return result;
    }
    return {};
}

} // namespace knokle
