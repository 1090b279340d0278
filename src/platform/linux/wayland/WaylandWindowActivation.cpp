#include "platform/linux/wayland/WaylandWindowActivation.h"

#include "xdg-activation-v1-client-protocol.h"

#include <QGuiApplication>
#include <QWindow>
#include <cstring>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

namespace knokle {
namespace {

// Our own queue on Qt's display, so that Qt's event thread never sees (or dispatches) these objects.
struct PrivateQueue {
    wl_display* display;
    wl_event_queue* queue = wl_display_create_queue(display);
    wl_display* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_registry* registry = nullptr;
    xdg_activation_v1* activation = nullptr;

    explicit PrivateQueue(wl_display* display) : display(display) {
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
        registry = wl_display_get_registry(wrapper);
        static const wl_registry_listener listener{
            [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
                auto* self = static_cast<PrivateQueue*>(data);
                if (!self->activation && std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
                    self->activation = static_cast<xdg_activation_v1*>(
                        wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
            },
            [](void*, wl_registry*, uint32_t) {}};
        wl_registry_add_listener(registry, &listener, this);
        wl_display_roundtrip_queue(display, queue);
    }
    ~PrivateQueue() {
        if (activation) xdg_activation_v1_destroy(activation);
        wl_registry_destroy(registry);
        wl_proxy_wrapper_destroy(wrapper);
        wl_event_queue_destroy(queue);
    }
    PrivateQueue(const PrivateQueue&) = delete;
    PrivateQueue& operator=(const PrivateQueue&) = delete;

    // A token for our own surface from the last input event; "" when the compositor gives none.
    std::string tokenFor(wl_surface* surface, uint32_t serial, wl_seat* seat) {
        std::string token;
        bool done = false;
        xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(activation);
        static const xdg_activation_token_v1_listener listener{[](void* data, xdg_activation_token_v1*, const char* t) {
            auto* result = static_cast<std::pair<std::string*, bool*>*>(data);
            *result->first = t;
            *result->second = true;
        }};
        std::pair<std::string*, bool*> result{&token, &done};
        xdg_activation_token_v1_add_listener(request, &listener, &result);
        xdg_activation_token_v1_set_serial(request, serial, seat);
        xdg_activation_token_v1_set_surface(request, surface);
        xdg_activation_token_v1_commit(request);
        for (int round = 0; round < 3 && !done; ++round)
            if (wl_display_roundtrip_queue(display, queue) < 0) break;
        xdg_activation_token_v1_destroy(request);
        return token;
    }
};

QWindow* shownWindow(std::uint64_t nativeWindow) {
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (window->isVisible() && window->winId() == nativeWindow) return window;
    return nullptr;
}

} // namespace

void WaylandWindowActivation::activate(std::uint64_t nativeWindow) {
    std::string token = std::exchange(pendingToken, "");
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    QWindow* window = shownWindow(nativeWindow);
    if (!native || !window || !QGuiApplication::platformName().startsWith("wayland")) return;
    auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
    auto* surface = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", window));
    if (!display || !surface) return;
    PrivateQueue wayland(display);
    if (!wayland.activation) return;
    if (token.empty()) {
        auto serial = static_cast<uint32_t>(reinterpret_cast<quintptr>(native->nativeResourceForIntegration("serial")));
        auto* seat = static_cast<wl_seat*>(native->nativeResourceForIntegration("wl_seat"));
        if (serial && seat) token = wayland.tokenFor(surface, serial, seat);
    }
    if (token.empty()) return; // Qt asked for activation itself when the window was shown
    xdg_activation_v1_activate(wayland.activation, token.c_str(), surface);
    wl_display_flush(display);
}

} // namespace knokle
