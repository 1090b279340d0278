#include "widgets/StatusIcon.h"
#include "WidgetTesting.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

struct Ink {
    QRect box;         // pixels with any coverage
    int offColour = 0; // opaque pixels of another colour than the glyph's
};

Ink inkOf(const QPixmap& pixmap, QColor colour) {
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QColor c = image.pixelColor(x, y);
            if (c.alpha() == 0) continue;
            ink.box |= QRect(x, y, 1, 1);
            if (c.alpha() == 255 && c.rgb() != colour.rgb()) ++ink.offColour;
        }
    return ink;
}

} // namespace

// The bold serif "t", centred, in the colour asked for, 94 % of the canvas high (99 % while flashing).
TEST(StatusIcon, GlyphCentredInOneColourAndLargerWhileFlashing) {
    test::ensureWidgetsApplication();
    for (const auto& [side, colour] : {std::pair{22, QColor(Qt::black)}, std::pair{64, QColor(0xef, 0xeb, 0xe3)}}) {
        SCOPED_TRACE(side);
        Ink normal = inkOf(StatusIcon::make(false, side, colour), colour);
        Ink flash = inkOf(StatusIcon::make(true, side, colour), colour);
        EXPECT_EQ(normal.offColour, 0);
        // Anti-aliasing adds at most a pixel at each end.
        EXPECT_NEAR(normal.box.height(), side * 0.94, 2.0);
        EXPECT_NEAR(flash.box.height(), side * 0.99, 2.0);
        EXPECT_LE(std::abs(normal.box.top() - (side - 1 - normal.box.bottom())), 1);
        EXPECT_LE(std::abs(normal.box.left() - (side - 1 - normal.box.right())), 1);
    }
    EXPECT_EQ(StatusIcon::make(false, 22, Qt::black, 2).size(), QSize(44, 44)) << "twice the pixels on a dense screen";
    QIcon icon = StatusIcon::icon(false, Qt::black);
    for (int side : {16, 22, 24, 32, 48, 64})
        EXPECT_TRUE(icon.availableSizes().contains(QSize(side, side))) << side;
}
