#include "viewmodels/Palette.h"

#include <gtest/gtest.h>

using namespace knokle;

// Every text colour the windows draw on each surface it is drawn on reads at 4.5:1 at least.
TEST(Palette, TextOnEverySurfaceItIsDrawnOnReadsAtFourAndAHalfToOne) {
    struct Pair {
        const char* what;
        Colour text, surface;
    };
    const Pair pairs[] = {
        {"titles, rows, the chooser's Cancel", Palette::text, Palette::bg},
        {"card titles", Palette::text, Palette::card},
        {"typed text", Palette::text, Palette::field},
        {"chosen segment and rows", Palette::text, Palette::neonFill},
        {"the recorder listening", Palette::white, Palette::neonFill},
        {"subtitles", Palette::textDim, Palette::bg},
        {"card descriptions", Palette::textDim, Palette::card},
        {"placeholders", Palette::textDim, Palette::field},
        {"unchosen segments", Palette::textDim, Palette::well},
        {"footers, the status line", Palette::textFaint, Palette::bg},
        {"captions in cards", Palette::textFaint, Palette::card},
        {"status: detected", Palette::good, Palette::card},
        {"status: cooldown", Palette::warm, Palette::card},
        {"errors", Palette::bad, Palette::card},
    };
    for (const auto& [what, text, surface] : pairs)
        EXPECT_GE(contrastRatio(text, surface), 4.5) << what;
    EXPECT_NEAR(contrastRatio(rgb255(0, 0, 0), rgb255(255, 255, 255)), 21, 1e-9);
    EXPECT_NEAR(contrastRatio(Palette::bg, Palette::bg), 1, 1e-9);
}
