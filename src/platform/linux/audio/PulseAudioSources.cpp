#include "platform/linux/audio/PulseAudioSources.h"

#include <pulse/pulseaudio.h>

namespace knokle {

namespace {

struct SourceListing {
    pa_mainloop_api* api;
    MainLoop* loop;
    std::function<void(std::vector<AudioSource>)> handler;
    pa_context* context = nullptr;
    std::string defaultName;
    std::vector<AudioSource> sources;
    bool done = false;
};

// Delivers what was gathered and lets the connection go; the request frees itself on the loop's next turn.
void finish(SourceListing* listing) {
    if (listing->done) return;
    listing->done = true;
    for (auto& source : listing->sources) source.isDefault = source.name == listing->defaultName;
    listing->loop->post([handler = std::move(listing->handler), sources = std::move(listing->sources)]() mutable {
        handler(std::move(sources));
    });
    pa_context_set_state_callback(listing->context, nullptr, nullptr);
    pa_context_disconnect(listing->context);
    pa_mainloop_api_once(
        listing->api,
        [](pa_mainloop_api*, void* userdata) {
            auto* listing = static_cast<SourceListing*>(userdata);
            pa_context_unref(listing->context);
            delete listing;
        },
        listing);
}

void sourceListed(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* listing = static_cast<SourceListing*>(userdata);
    if (info) {
        listing->sources.push_back(AudioSource{info->name ? info->name : "",
                                               info->description ? info->description : "",
                                               info->monitor_of_sink != PA_INVALID_INDEX, false});
    } else if (eol != 0) {
        finish(listing);
    }
}

void serverDescribed(pa_context* context, const pa_server_info* info, void* userdata) {
    auto* listing = static_cast<SourceListing*>(userdata);
    if (info && info->default_source_name) listing->defaultName = info->default_source_name;
    pa_operation* operation = pa_context_get_source_info_list(context, &sourceListed, listing);
    if (operation) {
        pa_operation_unref(operation);
    } else {
        finish(listing);
    }
}

void stateChanged(pa_context* context, void* userdata) {
    auto* listing = static_cast<SourceListing*>(userdata);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        if (pa_operation* operation = pa_context_get_server_info(context, &serverDescribed, listing)) {
            pa_operation_unref(operation);
        } else {
            finish(listing);
        }
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED: finish(listing); break;
    default: break;
    }
}

} // namespace

void listPulseAudioSources(pa_mainloop_api* api, MainLoop& loop, std::function<void(std::vector<AudioSource>)> handler) {
    auto* listing = new SourceListing{api, &loop, std::move(handler), nullptr, {}, {}, false};
    listing->context = pa_context_new(api, "Knokle");
    if (!listing->context) {
        loop.post([handler = std::move(listing->handler)] { handler({}); });
        delete listing;
        return;
    }
    pa_context_set_state_callback(listing->context, &stateChanged, listing);
    if (pa_context_connect(listing->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) finish(listing);
}

} // namespace knokle
