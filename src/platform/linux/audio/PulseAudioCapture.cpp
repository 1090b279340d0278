#include "platform/linux/audio/PulseAudioCapture.h"

#include "platform/linux/audio/PulseAudioSources.h"
#include "platform/linux/audio/SampleTimeline.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace knokle {

namespace {

// The application's name and icon, for the microphone indicator and the sound settings' list of recorders.
pa_proplist* programProperties(const std::string& iconName) {
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Knokle");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, iconName.c_str());
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, iconName.c_str());
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "production");
    return properties;
}

std::string errorText(pa_context* context) {
    return pa_strerror(context ? pa_context_errno(context) : PA_ERR_CONNECTIONREFUSED);
}

std::string noServer(const std::string& why) {
    return "No sound server answers (" + why + ")";
}

// Frees a libpulse object on the next turn of its loop: never from inside one of its own callbacks.
template <typename T, void (*unref)(T*)>
void unrefLater(pa_mainloop_api* api, T* object) {
    pa_mainloop_api_once(api, [](pa_mainloop_api*, void* o) { unref(static_cast<T*>(o)); }, object);
}

} // namespace

PulseAudioCapture::PulseAudioCapture(MainLoop& loop) : PulseAudioCapture(loop, Options{}) {}

PulseAudioCapture::PulseAudioCapture(MainLoop& loop, Options options)
    : loop(loop), options(std::move(options)) {}

PulseAudioCapture::~PulseAudioCapture() {
    close();
    if (mainloop) {
        pa_threaded_mainloop_stop(mainloop);
        pa_threaded_mainloop_free(mainloop);
    }
    delivery->session = ~0u;
}

bool PulseAudioCapture::isOpen() const {
    return opened;
}

bool PulseAudioCapture::startThread() {
    if (mainloop) return true;
    mainloop = pa_threaded_mainloop_new();
    if (!mainloop) return false;
    pa_threaded_mainloop_set_name(mainloop, "knokle-audio");
    if (pa_threaded_mainloop_start(mainloop) < 0) {
        pa_threaded_mainloop_free(mainloop);
        mainloop = nullptr;
        return false;
    }
    api = pa_threaded_mainloop_get_api(mainloop);
    return true;
}

void PulseAudioCapture::open(const std::string& name) {
    if (opened) close();
    opened = true;
    unsigned next = delivery->session + 1;
    delivery->session = next;
    if (!startThread()) {
        session = next;
        report(State::serverMissing, "The sound library could not start");
        return;
    }
    pa_threaded_mainloop_lock(mainloop);
    session = next;
    sourceName = name;
    backoff = options.firstRetry;
    reported = State::stopped;
    connect();
    pa_threaded_mainloop_unlock(mainloop);
}

void PulseAudioCapture::close() {
    if (!opened) return;
    opened = false;
    delivery->session = delivery->session + 1; // nothing of the closed session is delivered from here on
    if (!mainloop) return;                       // libpulse never started: nothing was opened
    pa_threaded_mainloop_lock(mainloop);
    session = delivery->session;
    cancelRetry();
    if (stream) {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        stream = nullptr;
    }
    if (context) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
    streamReady = false;
    report(State::stopped, {});
    pa_threaded_mainloop_unlock(mainloop);
}

void PulseAudioCapture::listSources(std::function<void(std::vector<AudioSource>)> handler) {
    if (!startThread()) {
        loop.post([handler = std::move(handler)] { handler({}); });
        return;
    }
    pa_threaded_mainloop_lock(mainloop);
    listPulseAudioSources(api, loop, std::move(handler));
    pa_threaded_mainloop_unlock(mainloop);
}

void PulseAudioCapture::connect() {
    pa_proplist* properties = programProperties(options.iconName);
    context = pa_context_new_with_proplist(api, "Knokle", properties);
    pa_proplist_free(properties);
    if (!context) {
        report(State::serverMissing, "The sound library could not start");
        retryLater(Retry::connect);
        return;
    }
    pa_context_set_state_callback(context, &PulseAudioCapture::contextStateChanged, this);
    // Never start a sound server of our own: the desktop's is the one whose microphone the user means.
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        std::string reason = noServer(errorText(context));
        dropContext();
        report(State::serverMissing, reason);
        retryLater(Retry::connect);
    }
}

void PulseAudioCapture::contextStateChanged(pa_context* c, void* userdata) {
    auto* self = static_cast<PulseAudioCapture*>(userdata);
    switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY:
        pa_context_set_subscribe_callback(
            c,
            [](pa_context*, pa_subscription_event_type_t type, std::uint32_t index, void* userdata) {
                auto* self = static_cast<PulseAudioCapture*>(userdata);
                auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
                auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
                if (facility != PA_SUBSCRIPTION_EVENT_SOURCE) return;
                if (kind == PA_SUBSCRIPTION_EVENT_NEW && !self->stream && self->retryWhat == Retry::findSource) {
                    self->cancelRetry(); // a source was plugged in: look at once rather than at the next retry
                    self->findSource();
                } else if (kind == PA_SUBSCRIPTION_EVENT_CHANGE && index == self->sourceIndex) {
                    self->checkMute();
                }
            },
            self);
        pa_operation_unref(pa_context_subscribe(c, PA_SUBSCRIPTION_MASK_SOURCE, nullptr, nullptr));
        self->findSource();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED: {
        std::string reason = noServer(errorText(c));
        self->dropStream();
        self->dropContext();
        self->report(State::serverMissing, reason);
        self->retryLater(Retry::connect);
        break;
    }
    default: break;
    }
}

void PulseAudioCapture::findSource() {
    if (!context) return;
    const char* name = sourceName.empty() ? "@DEFAULT_SOURCE@" : sourceName.c_str();
    pa_operation* operation = pa_context_get_source_info_by_name(
        context, name,
        [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
            auto* self = static_cast<PulseAudioCapture*>(userdata);
            if (info) {
                self->sourceFound(info);
            } else if (eol < 0) {
                self->sourceFound(nullptr);
            }
        },
        this);
    if (operation) pa_operation_unref(operation);
}

void PulseAudioCapture::sourceFound(const pa_source_info* info) {
    if (!info) {
        dropStream();
        report(State::sourceGone, sourceName.empty() ? "There is no microphone" : "There is no " + sourceName);
        retryLater(Retry::findSource);
        return;
    }
    sourceMuted = info->mute != 0;
    if (!stream) startStream(*info);
}

void PulseAudioCapture::startStream(const pa_source_info& info) {
    pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, info.sample_spec.rate, info.sample_spec.channels};
    pa_proplist* properties = programProperties(options.iconName);
    stream = pa_stream_new_with_proplist(context, "Knokle", &sampleFormat, &info.channel_map, properties);
    pa_proplist_free(properties);
    if (!stream) {
        report(State::sourceGone, errorText(context));
        retryLater(Retry::findSource);
        return;
    }
    format = AudioFormat{static_cast<int>(sampleFormat.rate), static_cast<int>(sampleFormat.channels)};
    frameClock = SampleTimeline{};
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(pa_usec_to_bytes(
        static_cast<pa_usec_t>(options.held.count() * PA_USEC_PER_SEC), &sampleFormat));
    attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(
        static_cast<pa_usec_t>(options.fragment.count() * PA_USEC_PER_SEC), &sampleFormat));
    attributes.tlength = attributes.prebuf = attributes.minreq = static_cast<std::uint32_t>(-1);
    auto flags = PA_STREAM_ADJUST_LATENCY;
    // A source the user named is that microphone or none; the default follows the desktop's choice.
    if (!sourceName.empty()) flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_DONT_MOVE);
    pa_stream_set_state_callback(stream, &PulseAudioCapture::streamStateChanged, this);
    pa_stream_set_read_callback(
        stream, [](pa_stream*, std::size_t, void* userdata) { static_cast<PulseAudioCapture*>(userdata)->readFragments(); },
        this);
    pa_stream_set_moved_callback(
        stream,
        [](pa_stream* s, void* userdata) {
            auto* self = static_cast<PulseAudioCapture*>(userdata);
            self->sourceIndex = pa_stream_get_device_index(s);
            self->checkMute();
        },
        this);
    if (pa_stream_connect_record(stream, sourceName.empty() ? nullptr : sourceName.c_str(), &attributes, flags) < 0) {
        std::string reason = errorText(context);
        dropStream();
        report(State::sourceGone, reason);
        retryLater(Retry::findSource);
    }
}

void PulseAudioCapture::streamStateChanged(pa_stream* s, void* userdata) {
    auto* self = static_cast<PulseAudioCapture*>(userdata);
    switch (pa_stream_get_state(s)) {
    case PA_STREAM_READY:
        self->streamReady = true;
        self->sourceIndex = pa_stream_get_device_index(s);
        self->backoff = self->options.firstRetry;
        self->report(self->sourceMuted ? State::muted : State::listening,
                         self->sourceMuted ? "The microphone is muted" : "");
        break;
    case PA_STREAM_FAILED: {
        // The source went away (unplugged, unloaded) or refused us; the server itself is still there.
        std::string reason = self->sourceName.empty() ? "The microphone went away"
                                                      : self->sourceName + " went away";
        self->dropStream();
        self->report(State::sourceGone, reason);
        self->retryLater(Retry::findSource);
        break;
    }
    default: break;
    }
}

void PulseAudioCapture::readFragments() {
    while (stream && pa_stream_readable_size(stream) > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) break;
        std::size_t frames = bytes / sizeof(float) / static_cast<std::size_t>(format.channels);
        if (data && frames > 0 && onFrames) {
            MonotonicTime first = frameClock.firstFrameTime(loop.now(), frames, format.sampleRate);
            onFrames(static_cast<const float*>(data), frames, format, Seconds(first.time_since_epoch()).count());
        }
        pa_stream_drop(stream); // a hole (no data) is dropped too: silence, nothing to analyse
    }
}

void PulseAudioCapture::checkMute() {
    if (!context || sourceIndex == PA_INVALID_INDEX) return;
    pa_operation* operation = pa_context_get_source_info_by_index(
        context, sourceIndex,
        [](pa_context*, const pa_source_info* info, int, void* userdata) {
            auto* self = static_cast<PulseAudioCapture*>(userdata);
            if (!info || info->index != self->sourceIndex) return;
            self->sourceMuted = info->mute != 0;
            if (self->streamReady) self->report(self->sourceMuted ? State::muted : State::listening,
                         self->sourceMuted ? "The microphone is muted" : "");
        },
        this);
    if (operation) pa_operation_unref(operation);
}

void PulseAudioCapture::dropStream() {
    streamReady = false;
    sourceIndex = PA_INVALID_INDEX;
    if (!stream) return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_moved_callback(stream, nullptr, nullptr);
    if (pa_stream_get_state(stream) == PA_STREAM_READY) pa_stream_disconnect(stream);
    unrefLater<pa_stream, pa_stream_unref>(api, stream);
    stream = nullptr;
}

void PulseAudioCapture::dropContext() {
    if (!context) return;
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_set_subscribe_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    unrefLater<pa_context, pa_context_unref>(api, context);
    context = nullptr;
}

void PulseAudioCapture::retryLater(Retry what) {
    cancelRetry();
    retryWhat = what;
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(backoff.count() * PA_USEC_PER_SEC));
    backoff = std::min(backoff * 2, options.longestRetry);
    retryTimer = api->time_new(
        api, &when,
        [](pa_mainloop_api* a, pa_time_event* event, const timeval*, void* userdata) {
            auto* self = static_cast<PulseAudioCapture*>(userdata);
            a->time_free(event);
            self->retryTimer = nullptr;
            if (self->retryWhat == Retry::connect || !self->context) {
                self->dropContext();
                self->connect();
            } else {
                self->findSource();
            }
        },
        this);
}

void PulseAudioCapture::cancelRetry() {
    if (retryTimer) api->time_free(retryTimer);
    retryTimer = nullptr;
}

void PulseAudioCapture::report(State state, const std::string& reason) {
    // Trying again quietly: the same news is told once, whatever the later attempts' errors say.
    if (state == reported) return;
    reported = state;
    loop.post([weak = std::weak_ptr<Delivery>(delivery), this, session = session, state, reason] {
        auto alive = weak.lock();
        if (alive && alive->session == session && onStateChanged) onStateChanged(state, reason);
    });
}

} // namespace knokle
