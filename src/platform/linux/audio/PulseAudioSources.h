#pragma once

#include "platform/AudioCapture.h"
#include "platform/MainLoop.h"

struct pa_mainloop_api;

namespace knokle {

// Asks the server for its sources on a connection of its own and hands the list to `handler` on the main
// loop (an empty list when no server answers). Call on libpulse's loop, with its lock held.
void listPulseAudioSources(pa_mainloop_api* api, MainLoop& loop, std::function<void(std::vector<AudioSource>)> handler);

} // namespace knokle
