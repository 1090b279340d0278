#include "LineCapture.h"
#include "VirtualLoop.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReplaySource.h"
#include "sensing/SlapCounter.h"
#include "sensing/SlapDetector.h"

#include <gtest/gtest.h>

using namespace knokle;

// The bundled demo must keep showing exactly a one-, a two- and a three-tap gesture, and nothing for its sideways
// knock and slow push.
TEST(DemoRecording, GivesOneTwoAndThreeTapGesturesAtTheDefaultFirmness) {
    test::LineCapture quiet;
    test::VirtualLoop loop;
    ReplaySource replay(loop, std::string(KNOKLE_SOURCE_DIR) + "/share/demo/gestures.rec", 1.0,
                        [] { return 800000000.0; });
    MotionSensor sensor(replay.managerFactory());
    SlapDetector detector;
    SlapCounter counter(loop);
    // The default firmness: level 2 with its windows.
    detector.level = 2;
    counter.initialWindow = 1.3;
    counter.maxWindow = 1.8;

    int impacts = 0;
    std::vector<int> gestures;
    sensor.onSample = [&](double x, double y, double z, double t) { detector.ingest(x, y, z, t); };
    detector.onImpact = [&](double force) {
        ++impacts;
        EXPECT_GE(force, 1.0);
        counter.registerImpact();
    };
    counter.onCountChanged = [&](int) { detector.sequenceActive = true; };
    counter.onGesture = [&](int count) {
        detector.sequenceActive = false;
        gestures.push_back(count);
    };

    sensor.start();
    loop.advance(20.0);

    EXPECT_TRUE(replay.finished());
    EXPECT_EQ(impacts, 6);
    EXPECT_EQ(gestures, (std::vector<int>{1, 2, 3}));
}
