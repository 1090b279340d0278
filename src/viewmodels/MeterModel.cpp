#include "viewmodels/MeterModel.h"

#include <algorithm>
#include <cmath>

namespace knokle {

namespace {

double blockWidth(double width) {
    return (width - 76) / MeterModel::kBlocks;
}

// The blocks' top edge: their lower edge sits 4 below the middle of the meter.
double blockTop(double height) {
    double lowerFromBottom = (height - MeterModel::kBlockHeight) / 2 - 4;
    return height - lowerFromBottom - MeterModel::kBlockHeight;
}

} // namespace

void MeterModel::raise(double peak) {
    displayLevel = std::max(displayLevel, peak);
}

bool MeterModel::decay() {
    displayLevel *= 0.6;
    if (displayLevel < 0.0005) displayLevel = 0;
    return displayLevel > 0;
}

int MeterModel::litBlocks() const {
    double ratio = thresholdG > 0 ? displayLevel / thresholdG : 0;
    return static_cast<int>(std::round(std::min(ratio * markerFraction, 1.0) * kBlocks));
}

int MeterModel::markerBlock() const {
    return static_cast<int>(std::round(markerFraction * kBlocks));
}

std::array<MeterModel::Block, MeterModel::kBlocks> MeterModel::blocks(double width, double height, bool flash) const {
    const int lit = litBlocks();
    const int mark = markerBlock();
    const double w = blockWidth(width);
    const double top = blockTop(height);
    std::array<Block, kBlocks> out;
    for (int i = 0; i < kBlocks; ++i) {
        Colour colour;
        if (i < lit && flash)
            colour = Palette::good;
        else if (i < lit && i < mark)
            colour = mix(Palette::neon, Palette::warm, static_cast<double>(i) / mark);
        else if (i < lit)
            colour = mix(Palette::warm, Palette::bad, static_cast<double>(i - mark) / std::max(kBlocks - mark, 1));
        else if (i < mark)
            colour = Palette::well.withAlpha(0.5);
        else
            colour = Palette::well;
        out[static_cast<size_t>(i)] = {{i * (w + kBlockGap), top, w, kBlockHeight}, colour};
    }
    return out;
}

Rect MeterModel::marker(double width, double height) const {
    const double w = blockWidth(width);
    // 7 below the blocks' lower edge, centred in the gap before the marker block.
    double lower = blockTop(height) + kBlockHeight + 7;
    return {markerBlock() * (w + kBlockGap) - 3.5, lower - kMarkerHeight, 3, kMarkerHeight};
}

} // namespace knokle
