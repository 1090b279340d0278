#pragma once

#include "platform/AudioCapture.h"
#include "platform/MainLoop.h"
#include "platform/linux/audio/SampleTimeline.h"

#include <atomic>
#include <memory>
#include <string>

struct pa_threaded_mainloop;
struct pa_mainloop_api;
struct pa_context;
struct pa_stream;
struct pa_time_event;
struct pa_source_info;

namespace knokle {

// Microphone capture through the PulseAudio client API (PulseAudio itself, or PipeWire's Pulse server). The
// stream runs on libpulse's own thread in ~20 ms fragments, handed to onFrames there as they come; the server is
// asked to hold at most a quarter of a second when we fall behind. The stream is named after the program with its
// icon, so the desktop's microphone indicator says who is listening.
class PulseAudioCapture final : public AudioCapture {
public:
    struct Options {
        // Each fragment wakes libpulse's thread, and on a virtual machine a wake costs more than judging the
        // fragment: 20 ms halves what 10 ms cost, and a tap's [impact] still comes well within 60 ms of its end.
        Seconds fragment{0.020};
        Seconds held{0.25};       // at most in the server's buffer
        Seconds firstRetry{0.5};  // a lost server or source is tried again after this, doubling each time...
        Seconds longestRetry{10}; // ...up to this
        std::string iconName = "org.knokle.Knokle";
    };

    explicit PulseAudioCapture(MainLoop& loop);
    PulseAudioCapture(MainLoop& loop, Options options);
    ~PulseAudioCapture() override;
    PulseAudioCapture(const PulseAudioCapture&) = delete;
    PulseAudioCapture& operator=(const PulseAudioCapture&) = delete;

    void open(const std::string& sourceName) override;
    void close() override;
    bool isOpen() const override;
    void listSources(std::function<void(std::vector<AudioSource>)> handler) override;

private:
    enum class Retry { connect, findSource };

    // Shared with closures posted from the capture thread, so they can tell whether the capture (and the session
    // they belong to) still exists.
    struct Delivery {
        std::atomic<unsigned> session{0};
    };

    bool startThread();
    // Everything below runs with libpulse's lock held (on its thread, or from open/close).
    void connect();
    void findSource();
    void sourceFound(const pa_source_info* info);
    void startStream(const pa_source_info& info);
    void readFragments();
    void checkMute();
    void dropStream();
    void dropContext();
    void retryLater(Retry what);
    void cancelRetry();
    void report(State state, const std::string& reason);

    static void contextStateChanged(pa_context* context, void* self);
    static void streamStateChanged(pa_stream* stream, void* self);

    MainLoop& loop;
    const Options options;
    std::shared_ptr<Delivery> delivery = std::make_shared<Delivery>();
    bool opened = false; // main thread

    pa_threaded_mainloop* mainloop = nullptr;
    pa_mainloop_api* api = nullptr;
    // Capture thread state (lock held):
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_time_event* retryTimer = nullptr;
    Retry retryWhat = Retry::connect;
    Seconds backoff{};
    std::string sourceName;
    unsigned session = 0;
    std::uint32_t sourceIndex = ~0u;
    bool sourceMuted = false;
    bool streamReady = false;
    State reported = State::stopped;
    AudioFormat format;
    SampleTimeline frameClock;
};

} // namespace knokle
