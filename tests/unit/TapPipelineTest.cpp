#include "controller/TapPipeline.h"
#include "AppDelegateHarness.h"
#include "common/TextFormat.h"
#include "controller/ExitWhenSettled.h"

#include <gtest/gtest.h>

using namespace knokle;
using namespace knokle::test;

namespace {

struct PipelineHarness {
    VirtualLoop loop;
    FakeHid hid;
    std::shared_ptr<FakeHidDevice> accelerometer = hid.addDevice();
    FakeButtons buttons;
    TapPipeline pipeline{loop, hid.factory(), [this] { return loop.elapsed(); }, buttons};
    std::vector<std::string> events;
    LineCapture lines;

    PipelineHarness() {
        pipeline.onImpact = [this](double force) { events.push_back(format("impact %.1f", force)); };
        pipeline.onAcceptedPeak = [this](double peak) { events.push_back(format("peak %.2f", peak)); };
        pipeline.onCountChanged = [this](int n) { events.push_back("count " + std::to_string(n)); };
        pipeline.onGesture = [this](int n) { events.push_back("gesture " + std::to_string(n)); };
        pipeline.onCooldownChanged = [this](bool on) { events.push_back(on ? "cooldown on" : "cooldown off"); };
        pipeline.applyFirmness(2, 1.0);
        pipeline.start();
        play(SyntheticMotion(1000, 1, 0, 0).rest(0.3));
    }
    void play(const SyntheticMotion& motion) { test::play(loop, *accelerometer, motion); }
    bool saw(const std::string& event) const { return std::find(events.begin(), events.end(), event) != events.end(); }
    SyntheticMotion motion() { return SyntheticMotion(1000, 1, 0, loop.elapsed()); }
};

} // namespace

TEST(TapPipeline, TapsBecomeAGestureWithEveryOutputInOrder) {
    PipelineHarness h;
    h.play(h.motion().taps(2, 0.3, kFirmTap).rest(2.5));
    EXPECT_EQ(h.events, (std::vector<std::string>{"peak 0.18", "impact 1.5", "count 1", "peak 0.18", "impact 1.5",
                                                  "count 2", "cooldown on", "gesture 2", "cooldown off"}));
    EXPECT_FALSE(h.pipeline.gestureInProgress());
    h.play(h.motion().tap(kFirmTap).rest(0.1));
    EXPECT_TRUE(h.pipeline.gestureInProgress());
}

TEST(TapPipeline, AFollowUpTapIsMeasuredAgainstThePreviousOneOnlyWhileAGestureIsOpen) {
    // 0.09 g is under the level's 0.12 g, but over 45 % of the first tap's 0.18 g.
    const TapShape weak{0.09, 0.008, 0.002, 1};
    PipelineHarness h;
    h.play(h.motion().tap(kFirmTap).rest(0.3).tap(weak).rest(2.5));
    EXPECT_TRUE(h.saw("gesture 2")) << "the weak tap counts within the gesture";
    h.events.clear();
    h.play(h.motion().tap(weak).rest(2.5));
    EXPECT_EQ(h.events, std::vector<std::string>{"peak 0.09"})
        << "once the gesture closed, the level's threshold applies again; the meter still shows the near miss";
}

TEST(TapPipeline, AnImpactRightAfterAClickIsVetoed) {
    const std::tuple<double, const char*, bool> cases[] = {
        {0.2, "[click] impact ignored — trackpad/mouse click", false}, {0.3, "[impact] force x1.50", true}};
    for (const auto& [afterClick, line, counted] : cases) {
        PipelineHarness h;
        h.buttons.click();
        h.play(h.motion().rest(afterClick).tap(kFirmTap).rest(2.5));
        EXPECT_EQ(h.lines.lines().back(), line);
        EXPECT_EQ(h.events.front(), "peak 0.18") << "the meter sees vetoed taps too";
        EXPECT_EQ(h.events.size(), counted ? 6u : 1u);
    }
}

namespace {

// A source the test speaks for: it records what the pipeline asks of it.
struct ScriptedSource final : TapSource {
    std::vector<std::string>& journal;
    int levelSet = 0;
    explicit ScriptedSource(std::vector<std::string>& journal) : journal(journal) {}
    std::string name() const override { return "scripted"; }
    void start() override { journal.push_back("start"); }
    void stop() override { journal.push_back("stop"); }
    void reset() override {}
    void setLevel(int level) override { levelSet = level; }
    int level() const override { return levelSet; }
    double levelThreshold() const override { return 0.1; }
    void setSequenceActive(bool) override {}
};

} // namespace

TEST(TapPipeline, AReplacedSourceStopsAndItsSuccessorTakesOverAtTheSameLevel) {
    VirtualLoop loop;
    FakeButtons buttons;
    std::vector<std::string> first, second;
    TapPipeline pipeline{loop, std::make_unique<ScriptedSource>(first), buttons};
    pipeline.applyFirmness(1, 1.0);
    pipeline.start();
    auto next = std::make_unique<ScriptedSource>(second);
    ScriptedSource& successor = *next;
    pipeline.replaceSource(std::move(next));
    EXPECT_EQ(first, (std::vector<std::string>{"start", "stop"}));
    EXPECT_EQ(second, std::vector<std::string>{"start"});
    EXPECT_EQ(successor.level(), 1);
    int counted = 0;
    pipeline.onCountChanged = [&](int) { ++counted; };
    successor.onImpact(Impact{0, 0.15, 1.5});
    EXPECT_EQ(counted, 1) << "the successor's impacts are counted";
}

TEST(ExitWhenSettled, EndsAtOnceWhenIdleElseWhenTheGestureClosesAndNeverLaterThanTheLongestWindow) {
    // what, gesture open, when it closes (negative: never), when the program exits
    const std::tuple<const char*, bool, double, double> cases[] = {
        {"idle", false, -1, 0}, {"closes", true, 0.5, 0.5}, {"stuck", true, -1, 1.8}};
    for (const auto& [what, inProgress, closesAfter, exitsAfter] : cases) {
        VirtualLoop loop;
        bool open = inProgress;
        if (closesAfter >= 0) loop.after(Seconds(closesAfter), [&] { open = false; });
        std::optional<double> exitedAt;
        int exits = 0;
        ExitWhenSettled settle(
            loop, [&] { return open; }, [] { return 1.8; },
            [&] {
                exitedAt = loop.elapsed();
                ++exits;
            });
        settle.recordingFinished();
        loop.advance(5.0);
        ASSERT_TRUE(exitedAt) << what;
        EXPECT_NEAR(*exitedAt, exitsAfter, 0.011) << what;
        EXPECT_EQ(exits, 1) << what;
    }
}
