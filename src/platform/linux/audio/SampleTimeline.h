#pragma once

#include "platform/MainLoop.h"

#include <cstddef>

namespace knokle {

// Times captured frames by counting them from an anchor, so that the gaps between taps keep the sound card's
// spacing however late each fragment reaches us. When the count and the arrival times part by more than a
// little (frames lost, the stream stalled), the count starts again from the arrival.
class SampleTimeline {
public:
    static constexpr Seconds kLargestDrift{0.04};

    // A fragment of `frames` frames that has just arrived at `now`: the time of its first frame.
    MonotonicTime firstFrameTime(MonotonicTime now, std::size_t frames, int sampleRate);

private:
    bool anchored = false;
    MonotonicTime anchor{};
    double counted = 0; // frames since the anchor
};

} // namespace knokle
