#include "platform/linux/desktop/GioWorkspace.h"

#include "platform/linux/desktop/RunningProcesses.h"
#include "platform/linux/desktop/WellKnownApplications.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
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

std::string withoutDesktopSuffix(std::string id) {
    if (id.ends_with(".desktop")) id.resize(id.size() - 8);
    return id;
}

// The session bus path of an application ID: dots become slashes, dashes underscores.
std::string applicationObjectPath(const std::string& id) {
    std::string path = "/" + id;
    std::replace(path.begin(), path.end(), '.', '/');
    std::replace(path.begin(), path.end(), '-', '_');
    return path;
}

// Starts an application that asks to be started over D-Bus, and waits for the answer, so that a failure
// is seen (GIO sends the request and forgets it). Nothing when there is no session bus: then it is spawned.
std::optional<OpenApplicationResult> activateOverBus(GDesktopAppInfo* info, const std::string& id) {
    if (!g_desktop_app_info_get_boolean(info, "DBusActivatable")) return std::nullopt;
    GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (!bus) return std::nullopt;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus.get(), id.c_str(), applicationObjectPath(id).c_str(), "org.freedesktop.Application", "Activate",
        g_variant_new("(@a{sv})", g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)), nullptr,
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
    OpenApplicationResult result;
    if (!reply) {
        if (error) g_dbus_error_strip_remote_error(error);
        result.errorDescription = takeError(error, "the application did not answer over D-Bus");
        return result;
    }
    g_variant_unref(reply);
    // The process that now owns the name, when the bus tells; otherwise the launch has no pid of its own.
    std::int32_t pid = 0;
    if (GVariant* owner = g_dbus_connection_call_sync(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                                                      g_variant_new("(s)", id.c_str()), G_VARIANT_TYPE("(u)"),
                                                      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr)) {
        guint32 value = 0;
        g_variant_get(owner, "(u)", &value);
        pid = static_cast<std::int32_t>(value);
        g_variant_unref(owner);
    }
    result.application = RunningApplication{id, pid, false};
    return result;
}

// What the runner needs of an installed entry: its ID, file and the names its windows may carry.
std::optional<ResolvedApplication> resolved(GAppInfo* app) {
    if (!app || !G_IS_DESKTOP_APP_INFO(app)) return std::nullopt;
    const char* id = g_app_info_get_id(app);
    const char* filename = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app));
    if (!filename) return std::nullopt;
    ResolvedApplication application{
        withoutDesktopSuffix(id ? id : fs::path(filename).filename().string()), filename, {}};
    application.windowNames.push_back(application.desktopEntry);
    if (const char* wmClass = g_desktop_app_info_get_startup_wm_class(G_DESKTOP_APP_INFO(app)); wmClass && *wmClass)
        application.windowNames.emplace_back(wmClass);
    if (const char* program = g_app_info_get_executable(app); program && *program) {
        std::string name = fs::path(program).filename().string();
        if (!isGenericLauncher(name)) application.windowNames.push_back(name);
    }
    return application;
}

} // namespace

GioWorkspace::GioWorkspace(fs::path procRoot, std::vector<fs::path> applicationFolders, uid_t user)
    : procRoot(std::move(procRoot)), user(user), entries(std::move(applicationFolders), std::chrono::seconds(1)),
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
    return scanRunningApplications(procRoot, user, entries);
}

void GioWorkspace::forceTerminate(const RunningApplication& application) {
    if (application.processIdentifier >= 1) ::kill(application.processIdentifier, SIGKILL);
}

ApplicationLookup GioWorkspace::lookUpApplication(const std::string& identifier) {
    if (identifier.empty()) return {};
    GObjectPtr<GAppInfo> own(G_APP_INFO(g_desktop_app_info_new((identifier + ".desktop").c_str())));
    if (own) return {resolved(own.get()), false};
    auto role = wellKnownRole(identifier);
    if (!role) return {};
    GObjectPtr<GAppInfo> choice;
    if (auto type = roleContentType(*role)) {
        choice.reset(g_app_info_get_default_for_type(type->c_str(), FALSE));
    } else if (*role == DesktopRole::terminal) {
        const char* path = std::getenv("PATH");
        auto alternative = resolvedProgram("x-terminal-emulator", path ? path : "/usr/bin:/bin");
        auto id = alternative ? entries.idForExecutable(*alternative) : std::nullopt;
        auto terminals = entries.terminalEmulators();
        if (!id && !terminals.empty()) id = terminals.front();
        if (id) choice.reset(G_APP_INFO(g_desktop_app_info_new((*id + ".desktop").c_str())));
    }
    return {resolved(choice.get()), true};
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
        auto id = entries.idForFile(location);
        std::string desktopEntry = id ? *id : fileStem(location);
        if (auto activated = activateOverBus(info.get(), desktopEntry)) {
            completion(std::move(*activated));
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
            result.application = RunningApplication{desktopEntry, static_cast<std::int32_t>(pid), false};
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
