#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
struct _XDisplay;

namespace knokle {

// An X connection of its own that receives XInput2 raw events from every master device, read from the Qt event
// loop of the thread that opened it. Raw events arrive even while another client grabs the pointer or the keyboard,
// and they do not take the input away from its window.
class XInputRawEvents {
public:
    struct Event {
        int type = 0;   // XI_RawKeyPress, XI_RawButtonPress, ...
        int detail = 0; // the button number (key codes are never read)
    };
    // The events read together, which arrived together. The handler may destroy this object.
    using Handler = std::function<void(const std::vector<Event>& events)>;

    // Nothing without a display or without XInput 2.2. An empty display name means the DISPLAY of the environment.
    static std::unique_ptr<XInputRawEvents> open(const std::string& displayName, std::initializer_list<int> types,
                                                 Handler handler);
    ~XInputRawEvents();
    XInputRawEvents(const XInputRawEvents&) = delete;
    XInputRawEvents& operator=(const XInputRawEvents&) = delete;

private:
    XInputRawEvents() = default;
    void drain();

    _XDisplay* display = nullptr;
    int opcode = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    Handler handler;
};

} // namespace knokle
