#pragma once

// The windows of a test's X session, by their exact titles, and what is seen of them on screen.

#include "TrayDesktop.h"

#include <cstdint>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace knokle::test {

// The on-screen part of a window, read from the root (a window taller than the screen cannot be read whole).
struct Screenshot {
    int x = 0, y = 0, width = 0, height = 0; // in root coordinates
    std::vector<std::uint32_t> pixels;       // 0xRRGGBB, row by row
    std::uint32_t at(int column, int row) const { return pixels[std::size_t(row) * std::size_t(width) + column]; }
};

struct XWindows {
    Display* display;
    std::string name;
    explicit XWindows(const std::string& name) : display(XOpenDisplay(name.c_str())), name(name) {
        // Windows come and go while they are read; a request about a gone one just fails.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~XWindows() {
        if (display) XCloseDisplay(display);
    }
    XWindows(const XWindows&) = delete;

    // The first mapped window with this exact title, or 0.
    Window find(const std::string& title) const {
        return std::strtoul(xdotool("search --onlyvisible --name " + shellQuoted("^" + title + "$")).c_str(), nullptr,
                            10);
    }
    // xprop's lines for these properties of the window.
    std::string xprop(Window window, const std::string& properties) const {
        return commandOutput("DISPLAY=" + name + " xprop -id " + std::to_string(window) + " " + properties +
                             " 2>/dev/null");
    }
    Window active() const { return std::strtoul(xdotool("getactivewindow").c_str(), nullptr, 10); }
    std::string xdotool(const std::string& command) const {
        return commandOutput("DISPLAY=" + name + " xdotool " + command + " 2>/dev/null");
    }

    // Empty when the window is not viewable or wholly off screen.
    Screenshot shot(Window window) {
        Screenshot out;
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return out;
        Window root = DefaultRootWindow(display), child;
        int x = 0, y = 0;
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
        int screen = DefaultScreen(display);
        int left = std::max(x, 0), top = std::max(y, 0);
        int right = std::min(x + attributes.width, DisplayWidth(display, screen));
        int bottom = std::min(y + attributes.height, DisplayHeight(display, screen));
        if (right <= left || bottom <= top) return out;
        XImage* image =
            XGetImage(display, root, left, top, unsigned(right - left), unsigned(bottom - top), AllPlanes, ZPixmap);
        if (!image) return out;
        out = {left, top, right - left, bottom - top, {}};
        out.pixels.reserve(std::size_t(out.width) * std::size_t(out.height));
        for (int row = 0; row < out.height; ++row)
            for (int column = 0; column < out.width; ++column)
                out.pixels.push_back(std::uint32_t(XGetPixel(image, column, row) & 0xffffff));
        XDestroyImage(image);
        return out;
    }
};

} // namespace knokle::test
