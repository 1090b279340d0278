#pragma once

#include "platform/AudioCapture.h"

struct pa_mainloop_api;

namespace knokle {

// Asks the server for its sources on a connection of its own and hands the list to `handler` on the main
// loop (an empty list when no server answers). Call on libpulse's loop, with its lock held.
void listPulseAudioSources(pa_mainloop_api* api, MainLoop& loop, AudioCapture::SourcesHandler handler);

} // namespace knokle
