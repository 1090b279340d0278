#include "platform/linux/wayland/KWinWindowControl.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <gio/gio.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace knokle {
namespace {

constexpr char kService[] = "org.kde.KWin";
constexpr char kReplyInterface[] = "org.knokle.KWinReply";
constexpr int kCallTimeoutMs = 2000;
constexpr auto kAnswerWait = std::chrono::seconds(3);
std::atomic<unsigned> scriptCount{0};

// What the script sends back, filled in on GDBus's own thread.
struct Answer {
    std::string path;
    std::string sender; // KWin's unique name: nobody else may answer
    std::mutex mutex;
    std::condition_variable arrived;
    std::optional<std::string> text;
};

GDBusMessage* takeAnswer(GDBusConnection* connection, GDBusMessage* message, gboolean incoming, gpointer data) {
    auto* answer = static_cast<std::shared_ptr<Answer>*>(data)->get();
    if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
        g_strcmp0(g_dbus_message_get_path(message), answer->path.c_str()) != 0)
        return message;
    GVariant* body = g_dbus_message_get_body(message);
    bool expected = g_strcmp0(g_dbus_message_get_sender(message), answer->sender.c_str()) == 0 &&
                    g_strcmp0(g_dbus_message_get_interface(message), kReplyInterface) == 0 && body &&
                    g_variant_is_of_type(body, G_VARIANT_TYPE("(s)"));
    if (expected) {
        const char* text = nullptr;
        g_variant_get(body, "(&s)", &text);
        std::lock_guard lock(answer->mutex);
        answer->text = text;
        answer->arrived.notify_all();
    }
    GDBusMessage* reply =
        expected
            ? g_dbus_message_new_method_reply(message)
            : g_dbus_message_new_method_error_literal(message, "org.freedesktop.DBus.Error.UnknownMethod", "not here");
    g_dbus_connection_send_message(connection, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
    g_object_unref(reply);
    g_object_unref(message);
    return nullptr;
}

GDBusConnection* connectTo(const std::string& address) {
    GError* error = nullptr;
    gchar* session = address.empty() ? g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error) : nullptr;
    g_clear_error(&error);
    const char* where = address.empty() ? session : address.c_str();
    GDBusConnection* connection = where ? g_dbus_connection_new_for_address_sync(
                                              where,
                                              GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                   G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                              nullptr, nullptr, &error)
                                        : nullptr;
    g_clear_error(&error);
    g_free(session);
    if (connection) g_dbus_connection_set_exit_on_close(connection, FALSE);
    return connection;
}

// The reply's body, or nothing on an error (the error's name in `failure`).
GVariant* call(GDBusConnection* connection, const char* service, const std::string& path, const char* interface,
               const char* method, GVariant* arguments, const char* replyType, std::string* failure = nullptr) {
    GError* error = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(connection, service, path.c_str(), interface, method, arguments,
                                    G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
    if (error && failure) {
        gchar* name = g_dbus_error_get_remote_error(error);
        *failure = name ? name : error->message;
        g_free(name);
    }
    g_clear_error(&error);
    return reply;
}

std::optional<std::string> nameOwner(GDBusConnection* connection) {
    GVariant* reply = call(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "GetNameOwner", g_variant_new("(s)", kService), "(s)");
    if (!reply) return std::nullopt;
    const char* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    std::string result = owner;
    g_variant_unref(reply);
    return result;
}

// Created new, never through a link, readable by this user (and so by KWin) alone.
bool writeNewFile(const std::filesystem::path& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    if (!written) ::unlink(path.c_str());
    return written;
}

} // namespace

std::string kwinWindowScript(const std::string& replyService, const std::string& replyPath,
                             const std::string& fullScreenId) {
    // KWin 6 lists windows with windowList(), KWin 5 with clientList(); the windows' properties are the same.
    // KWin 5's resourceClass is a byte array (no string in a script), so the desktop file name comes first.
    return "(function () {\n"
           "    var target = " +
           nlohmann::json(fullScreenId).dump() +
           ";\n"
           "    var all = typeof workspace.windowList === \"function\" ? workspace.windowList()\n"
           "                                                          : workspace.clientList();\n"
           "    var windows = [];\n"
           "    for (var i = 0; i < all.length; ++i) {\n"
           "        var w = all[i];\n"
           "        if (!w || !w.normalWindow) continue;\n"
           "        var id = String(w.internalId);\n"
           "        if (target !== \"\" && id === target && !w.fullScreen) w.fullScreen = true;\n"
           "        var name = w.desktopFileName ? String(w.desktopFileName) : \"\";\n"
           "        if (!name && typeof w.resourceClass === \"string\") name = w.resourceClass;\n"
           "        windows.push({id: id, pid: w.pid, appId: name, active: !!w.active, fullScreen: !!w.fullScreen});\n"
           "    }\n"
           "    callDBus(" +
           nlohmann::json(replyService).dump() + ", " + nlohmann::json(replyPath).dump() + ", \"" + kReplyInterface +
           "\", \"windows\", JSON.stringify(windows));\n"
           "})();\n";
}

std::vector<CompositorWindow> kwinWindows(const std::string& answer, WindowIdTable& ids) {
    std::vector<CompositorWindow> windows;
    auto list = nlohmann::json::parse(answer, nullptr, false);
    if (!list.is_array()) return windows;
    for (const auto& entry : list) {
        if (!entry.is_object() || !entry.contains("id") || !entry["id"].is_string()) continue;
        CompositorWindow window;
        window.id = ids.idFor(entry["id"].get<std::string>());
        if (auto pid = entry.find("pid"); pid != entry.end() && pid->is_number_integer())
            window.pid = pid->get<std::int32_t>();
        if (auto app = entry.find("appId"); app != entry.end() && app->is_string()) window.appId = *app;
        window.focused = entry.value("active", false);
        window.fullScreen = entry.value("fullScreen", false);
        windows.push_back(window);
    }
    return windows;
}

KWinWindowControl::KWinWindowControl(std::filesystem::path runtimeFolder, std::string busAddress)
    : folder(std::move(runtimeFolder)), address(std::move(busAddress)) {}

KWinWindowControl::~KWinWindowControl() {
    if (bus) {
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
    }
}

bool KWinWindowControl::kwinOnBus(const std::string& busAddress) {
    GDBusConnection* connection = connectTo(busAddress);
    if (!connection) return false;
    bool present = nameOwner(connection).has_value();
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    return present;
}

GDBusConnection* KWinWindowControl::connection() {
    std::lock_guard lock(connecting);
    if (!bus) bus = connectTo(address);
    return bus;
}

std::optional<std::vector<CompositorWindow>> KWinWindowControl::run(const std::string& fullScreenId) {
    GDBusConnection* connection = this->connection();
    if (!connection || folder.empty()) return std::nullopt;
    auto owner = nameOwner(connection);
    if (!owner) return std::nullopt;
    unsigned number = ++scriptCount;
    std::string name = "knokle-" + std::to_string(::getpid()) + "-" + std::to_string(number);
    auto answer = std::make_shared<Answer>();
    answer->path = "/org/knokle/KWinReply/" + std::to_string(::getpid()) + "_" + std::to_string(number);
    answer->sender = *owner;
    auto file = folder / (name + ".js");
    if (!writeNewFile(file,
                      kwinWindowScript(g_dbus_connection_get_unique_name(connection), answer->path, fullScreenId)))
        return std::nullopt;
    // Freed by GDBus once the filter can no longer run.
    guint filter =
        g_dbus_connection_add_filter(connection, takeAnswer, new std::shared_ptr<Answer>(answer),
                                     [](gpointer data) { delete static_cast<std::shared_ptr<Answer>*>(data); });
    GVariant* loaded = call(connection, kService, "/Scripting", "org.kde.kwin.Scripting", "loadScript",
                            g_variant_new("(ss)", file.c_str(), name.c_str()), "(i)");
    std::optional<std::vector<CompositorWindow>> windows;
    if (loaded) {
        gint32 id = -1;
        g_variant_get(loaded, "(i)", &id);
        g_variant_unref(loaded);
        std::string failure;
        // KWin 6 puts a loaded script at /Scripting/ScriptN, KWin 5 at /N.
        GVariant* ran = nullptr;
        if (id >= 0)
            for (const std::string& path : {"/Scripting/Script" + std::to_string(id), "/" + std::to_string(id)})
                if ((ran = call(connection, kService, path, "org.kde.kwin.Script", "run", nullptr, "()", &failure)))
                    break;
        if (ran) {
            g_variant_unref(ran);
            std::unique_lock lock(answer->mutex);
            if (answer->arrived.wait_for(lock, kAnswerWait, [&] { return answer->text.has_value(); }))
                windows = kwinWindows(*answer->text, ids);
        }
        if (GVariant* unloaded = call(connection, kService, "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                                      g_variant_new("(s)", name.c_str()), "(b)"))
            g_variant_unref(unloaded);
    }
    g_dbus_connection_remove_filter(connection, filter);
    ::unlink(file.c_str());
    return windows;
}

std::vector<WindowId> KWinWindowControl::topLevelWindows() {
    std::vector<WindowId> result;
    if (auto windows = run(""))
        for (const auto& window : *windows)
            result.push_back(window.id);
    return result;
}

std::optional<WindowId> KWinWindowControl::applicationWindow(const WindowSearch& search) {
    auto windows = run("");
    if (!windows) return std::nullopt;
    return pickCompositorWindow(*windows, search);
}

std::optional<bool> KWinWindowControl::isFullScreen(WindowId window) {
    auto windows = run("");
    if (!windows) return std::nullopt;
    for (const auto& candidate : *windows)
        if (candidate.id == window) return candidate.fullScreen;
    return std::nullopt;
}

void KWinWindowControl::requestFullScreen(WindowId window) {
    if (auto id = ids.nameOf(window)) run(*id);
}

} // namespace knokle
