#pragma once

#include "platform/MainLoop.h"
#include "viewmodels/ControlGeometry.h"
#include "viewmodels/Palette.h"

#include <array>

namespace knokle {

// The calibration window's level meter: twenty blocks that light up to the latest peak, and a marker at the
// block a tap must reach. The peak fades every frame.
class MeterModel {
public:
    static constexpr int kBlocks = 20;
    static constexpr double kFrameSeconds = 1.0 / 60;
    static constexpr double kFlashSeconds = 0.25;
    static constexpr double kBlockHeight = 30;
    static constexpr double kBlockGap = 4;
    static constexpr double kMarkerHeight = 44;

    struct Block {
        Rect frame;
        Colour colour;
    };

    double markerFraction = 0.5; // where the marker sits, as a fraction of the meter
    double thresholdG = 0.21;    // the detector's threshold the marker stands for
    double displayLevel = 0;     // g, fading
    MonotonicTime flashUntil{};  // lit blocks show success until then

    // Raises the shown level to the peak; a lower peak changes nothing.
    void raise(double peak);
    // One frame of fading; true while there is still something to fade.
    bool decay();

    int litBlocks() const;
    int markerBlock() const;
    std::array<Block, kBlocks> blocks(double width, double height, bool flash) const;
    Rect marker(double width, double height) const;
};

} // namespace knokle
