#include "platform/linux/audio/SampleTimeline.h"

#include <cmath>

namespace knokle {

MonotonicTime SampleTimeline::firstFrameTime(MonotonicTime now, std::size_t frames, int sampleRate) {
    if (sampleRate <= 0) return now;
    // The fragment's last frame was captured just now at the latest.
    MonotonicTime arrived = now - toSteady(Seconds(double(frames) / sampleRate));
    MonotonicTime counted = anchor + toSteady(Seconds(this->counted / sampleRate));
    if (!anchored || std::fabs(Seconds(arrived - counted).count()) > kLargestDrift.count()) {
        anchored = true;
        anchor = arrived;
        this->counted = 0;
        counted = arrived;
    }
    this->counted += double(frames);
    return counted;
}

} // namespace knokle
