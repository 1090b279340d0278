#pragma once

// The windows of a test's X session, by their exact titles, and what is seen of them on screen.

#include <cstdint>
#include <string>
#include <vector>

#include <X11/Xatom.h>
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
    explicit XWindows(const std::string& name) : display(XOpenDisplay(name.c_str())) {
        // Windows come and go while the tree is walked; a request about a gone one just fails.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~XWindows() {
        if (display) XCloseDisplay(display);
    }
    XWindows(const XWindows&) = delete;
    XWindows& operator=(const XWindows&) = delete;

    // The first mapped window with this title under `from` (the root by default), or 0.
    Window find(const std::string& title, Window from = 0) {
        if (!from) from = DefaultRootWindow(display);
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, from, &root, &parent, &children, &count)) return 0;
        Window found = 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes attributes;
            char* name = nullptr;
            if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
                XFetchName(display, children[i], &name) && name && title == name)
                found = children[i];
            if (name) XFree(name);
            if (!found) found = find(title, children[i]);
        }
        if (children) XFree(children);
        return found;
    }

    Window active() {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        Window window = 0;
        if (XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_ACTIVE_WINDOW", False),
                               0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
            count == 1)
            window = *reinterpret_cast<Window*>(data);
        if (data) XFree(data);
        return window;
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

    // What the window's close button does.
    void close(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }
};

} // namespace knokle::test
