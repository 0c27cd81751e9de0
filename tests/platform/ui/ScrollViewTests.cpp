#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Touch.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

constexpr double kFrame = ScrollView::kFrameInterval;

// Writes down what a scroll view tells its delegate, with the flags it reports at that moment.
class Recorder : public ScrollViewDelegate {
public:
    std::vector<std::string> events;
    std::vector<double> offsetsY;
    cg::Point endVelocity;
    cg::Point endTarget;
    View* zoomView = nullptr;
    int zooms = 0;

    void scrollViewDidScroll(ScrollView& s) override {
        offsetsY.push_back(s.contentOffset().y);
        if (events.empty() || events.back() != "scroll") events.push_back("scroll");
    }
    void scrollViewWillBeginDragging(ScrollView& s) override { events.push_back(s.isDragging() ? "willBeginDragging" : "!"); }
    void scrollViewWillEndDragging(ScrollView&, cg::Point velocity, cg::Point* target) override {
        endVelocity = velocity;
        endTarget = *target;
        events.push_back("willEndDragging");
    }
    void scrollViewDidEndDragging(ScrollView& s, bool decelerate) override {
        events.push_back(std::string("didEndDragging:") + (decelerate ? "1" : "0") + (s.isDragging() ? "!" : ""));
    }
    void scrollViewWillBeginDecelerating(ScrollView& s) override {
        events.push_back(s.isDecelerating() ? "willBeginDecelerating" : "!");
    }
    void scrollViewDidEndDecelerating(ScrollView& s) override {
        events.push_back(s.isDecelerating() ? "!" : "didEndDecelerating");
    }
    void scrollViewDidEndScrollingAnimation(ScrollView&) override { events.push_back("didEndScrollingAnimation"); }
    View* viewForZoomingInScrollView(ScrollView&) override { return zoomView; }
    void scrollViewDidZoom(ScrollView&) override { ++zooms; }
    void scrollViewWillBeginZooming(ScrollView& s, View*) override { events.push_back(s.isZooming() ? "willBeginZooming" : "!"); }
    void scrollViewDidEndZooming(ScrollView&, View*, double) override { events.push_back("didEndZooming"); }
};

struct Fixture {
    test::UIHarness ui;
    std::shared_ptr<ScrollView> scroll = std::make_shared<ScrollView>(cg::Rect{0, 0, 320, 480});
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();

    explicit Fixture(cg::Size content) {
        scroll->setContentSize(content);
        scroll->setDelegate(recorder);
        ui.root->view()->addSubview(scroll);
        ui.settle();
    }

    // A finger moving in equal steps, one frame apart, then lifting.
    void drag(cg::Point from, cg::Point to, int steps) {
        auto finger = ui.fingers.down(from);
        for (int i = 1; i <= steps; ++i) {
            ui.advance(kFrame);
            const double t = double(i) / steps;
            ui.fingers.move(finger, {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
        }
        ui.fingers.up(finger);
    }

    std::vector<std::string> eventsWithoutScrolls() const {
        std::vector<std::string> result;
        for (const auto& e : recorder->events) {
            if (e != "scroll") result.push_back(e);
        }
        return result;
    }
};

}  // namespace

TEST(ScrollView, OffsetSizeAndInsetAreObservableAndTheInsetKeepsTheOffsetInside) {
    auto scroll = std::make_shared<ScrollView>(cg::Rect{0, 0, 100, 100});
    std::vector<std::string> seen;
    auto observe = [&](const char* key) {
        return scroll->addObserver(key, ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionOld,
                                   [&seen](const ns::KeyValueChange& c) {
                                       std::string text = c.keyPath + ":";
                                       if (auto p = GeometryValue::CGPointValue(c.oldValue)) text += cg::toString(*p);
                                       if (auto p = GeometryValue::CGPointValue(c.newValue)) text += "->" + cg::toString(*p);
                                       if (auto s = GeometryValue::CGSizeValue(c.newValue)) text += cg::toString(*s);
                                       if (auto i = GeometryValue::UIEdgeInsetsValue(c.newValue)) text += cg::toString(*i);
                                       seen.push_back(text);
                                   });
    };
    auto offset = observe("contentOffset");
    auto size = observe("contentSize");
    auto inset = observe("contentInset");

    scroll->setContentSize({100, 400});
    scroll->setContentOffset({0, 250});
    EXPECT_EQ(scroll->bounds().origin, (cg::Point{0, 250}));
    // A bounds change is a scroll as well.
    scroll->setBounds({0, 280, 100, 100});
    // The content shrinks under the offset: it comes back to the end.
    scroll->setContentSize({100, 300});
    scroll->setContentInset({50, 0, 0, 0});
    // Offsets out of range set directly are kept.
    scroll->setContentOffset({0, -80});
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, -80}));
    // Shrinking the inset brings them back to the new top.
    scroll->setContentInset({20, 0, 0, 0});
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, -20}));
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "contentSize:{100, 400}", "contentOffset:{0, 0}->{0, 250}", "contentOffset:{0, 250}->{0, 280}",
                        "contentSize:{100, 300}", "contentOffset:{0, 280}->{0, 200}", "contentInset:{50, 0, 0, 0}",
                        "contentOffset:{0, 200}->{0, -80}", "contentInset:{20, 0, 0, 0}",
                        "contentOffset:{0, -80}->{0, -20}"}));

    scroll->setContentInset({});
    scroll->setContentOffset({0, 0});
    scroll->scrollRectToVisible({0, 150, 10, 30}, false);
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 80}));
    scroll->scrollRectToVisible({0, 40, 10, 30}, false);
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 40}));
    scroll->scrollRectToVisible({0, 60, 10, 10}, false);
    EXPECT_EQ(scroll->contentOffset(), (cg::Point{0, 40}));
}

TEST(ScrollView, DragThenDecelerationOnTheClockWithPanStateObserved) {
    Fixture f({320, 3000});
    std::vector<std::int64_t> states;
    auto observation = f.scroll->panGestureRecognizer()->addObserver(
        "state", ns::KeyValueObservingOptionNew, [&](const ns::KeyValueChange& c) { states.push_back(c.newValue.int64Value()); });

    // Five steps of 20 points upwards, a frame apart: 1200 points per second.
    auto finger = f.ui.fingers.down({160, 400});
    EXPECT_TRUE(f.scroll->isTracking());
    EXPECT_FALSE(f.scroll->isDragging());
    for (int i = 1; i <= 5; ++i) {
        f.ui.advance(kFrame);
        f.ui.fingers.move(finger, {160, 400.0 - 20 * i});
    }
    EXPECT_TRUE(f.scroll->isDragging());
    // The content follows the finger exactly inside its range.
    EXPECT_DOUBLE_EQ(f.scroll->contentOffset().y, 100);
    f.ui.fingers.up(finger);
    EXPECT_FALSE(f.scroll->isDragging());
    EXPECT_FALSE(f.scroll->isTracking());
    EXPECT_TRUE(f.scroll->isDecelerating());
    // Points per millisecond; the clock's seconds are not exact to the nanosecond.
    EXPECT_NEAR(f.recorder->endVelocity.y, 1.2, 1e-4);
    const double target = 100 + f.recorder->endVelocity.y * 1000 / (-1000 * std::log(ScrollViewDecelerationRateNormal));
    EXPECT_NEAR(f.recorder->endTarget.y, target, 1e-9);

    // The content slows down frame by frame, on the clock only.
    const double atRelease = f.scroll->contentOffset().y;
    f.ui.advance(0.5);
    const double half = f.scroll->contentOffset().y;
    EXPECT_GT(half, atRelease);
    EXPECT_LT(half, target);
    f.ui.advance(6);
    EXPECT_FALSE(f.scroll->isDecelerating());
    EXPECT_DOUBLE_EQ(f.scroll->contentOffset().y, target);
    EXPECT_EQ(f.eventsWithoutScrolls(),
              (std::vector<std::string>{"willBeginDragging", "willEndDragging", "didEndDragging:1", "willBeginDecelerating",
                                        "didEndDecelerating"}));
    for (std::size_t i = 1; i < f.recorder->offsetsY.size(); ++i) {
        EXPECT_GE(f.recorder->offsetsY[i], f.recorder->offsetsY[i - 1]);
    }
    // Began, changed four times, ended, then possible again.
    EXPECT_EQ(states, (std::vector<std::int64_t>{1, 2, 2, 2, 2, 3, 0}));
}

TEST(ScrollView, PullingPastTheTopGoesAtHalfSpeedAndSpringsBack) {
    Fixture f({320, 1000});
    f.drag({160, 100}, {160, 220}, 6);
    // 120 points of finger past the top show as 60.
    EXPECT_DOUBLE_EQ(f.recorder->offsetsY.back(), -60);
    EXPECT_TRUE(f.scroll->isDecelerating());
    f.ui.advance(1);
    EXPECT_EQ(f.scroll->contentOffset(), (cg::Point{0, 0}));
    EXPECT_FALSE(f.scroll->isDecelerating());

    // Without bouncing the content stops at the edge.
    f.scroll->setBounces(false);
    f.drag({160, 100}, {160, 220}, 6);
    EXPECT_EQ(f.scroll->contentOffset(), (cg::Point{0, 0}));

    // Content shorter than the view drags only with alwaysBounceVertical.
    f.scroll->setBounces(true);
    f.scroll->setContentSize({320, 200});
    f.recorder->events.clear();
    f.drag({160, 100}, {160, 160}, 3);
    EXPECT_TRUE(f.recorder->events.empty());
    f.scroll->setAlwaysBounceVertical(true);
    f.drag({160, 100}, {160, 160}, 3);
    EXPECT_EQ(f.recorder->events.front(), "willBeginDragging");
    f.ui.advance(1);
    EXPECT_EQ(f.scroll->contentOffset(), (cg::Point{0, 0}));
}

TEST(ScrollView, PagingSettlesOnPagesAndATouchCatchesMovingContent) {
    Fixture f({960, 480});
    f.scroll->setPagingEnabled(true);
    // A slow drag past half a page settles on the next page.
    auto finger = f.ui.fingers.down({300, 200});
    for (int i = 1; i <= 10; ++i) {
        f.ui.advance(0.1);
        f.ui.fingers.move(finger, {300.0 - 18 * i, 200});
    }
    f.ui.fingers.up(finger);
    EXPECT_DOUBLE_EQ(f.scroll->contentOffset().x, 180);
    f.ui.advance(2);
    EXPECT_DOUBLE_EQ(f.scroll->contentOffset().x, 320);
    // A quick flick of less than half a page goes on to the next page, and no further.
    f.drag({300, 200}, {240, 200}, 3);
    f.ui.advance(2);
    EXPECT_DOUBLE_EQ(f.scroll->contentOffset().x, 640);
    EXPECT_EQ(f.recorder->events.back(), "didEndDecelerating");

    // A finger landing on moving content stops it; lifting it settles on a page again.
    f.drag({300, 200}, {360, 200}, 3);
    f.ui.advance(0.05);
    const double moving = f.scroll->contentOffset().x;
    EXPECT_TRUE(f.scroll->isDecelerating());
    auto catcher = f.ui.fingers.down({100, 100});
    EXPECT_FALSE(f.scroll->isDecelerating());
    EXPECT_EQ(f.recorder->events.back(), "didEndDecelerating");
    f.ui.advance(0.5);
    EXPECT_DOUBLE_EQ(f.scroll->contentOffset().x, moving);
    f.ui.fingers.up(catcher);
    f.ui.advance(2);
    EXPECT_DOUBLE_EQ(std::fmod(f.scroll->contentOffset().x, 320), 0);
}

TEST(ScrollView, AnimatedOffsetsStepOnTheClockAndTimersKeepRunningInTrackingMode) {
    Fixture f({320, 2000});
    f.scroll->setContentOffset({0, 300}, true);
    EXPECT_EQ(f.scroll->contentOffset(), (cg::Point{0, 0}));
    f.ui.advance(ScrollView::kAnimationDuration / 2);
    EXPECT_NEAR(f.scroll->contentOffset().y, 150, 20);
    f.ui.advance(ScrollView::kAnimationDuration);
    EXPECT_EQ(f.scroll->contentOffset(), (cg::Point{0, 300}));
    EXPECT_EQ(f.recorder->events.back(), "didEndScrollingAnimation");
    EXPECT_GT(f.recorder->offsetsY.size(), 10u);

    // The motion's timer is scheduled in the common modes, so it also runs while the loop tracks touches.
    f.scroll->setContentOffset({0, 0}, true);
    auto loop = ns::RunLoop::main();
    for (int i = 0; i < 30 && f.scroll->contentOffset().y != 0; ++i) {
        ns::Clock::advanceTo(ns::Clock::now() + kFrame);
        loop->runMode(ns::TrackingRunLoopMode, ns::Date::fromTimeIntervalSince1970(ns::Clock::now()));
    }
    EXPECT_EQ(f.scroll->contentOffset(), (cg::Point{0, 0}));
}

TEST(ScrollView, DragsAlongAnAxisTheContentCannotScrollGoToTheEnclosingScrollView) {
    Fixture f({960, 480});
    auto inner = std::make_shared<ScrollView>(cg::Rect{0, 0, 320, 480});
    inner->setContentSize({320, 2000});
    f.scroll->addSubview(inner);
    f.ui.settle();
    f.drag({200, 300}, {100, 290}, 5);
    EXPECT_EQ(inner->contentOffset(), (cg::Point{0, 0}));
    EXPECT_DOUBLE_EQ(f.scroll->contentOffset().x, 100);
    f.ui.advance(3);
    f.scroll->setContentOffset({0, 0});
    f.drag({200, 300}, {190, 200}, 5);
    EXPECT_DOUBLE_EQ(inner->contentOffset().y, 100);
    EXPECT_DOUBLE_EQ(f.scroll->contentOffset().x, 0);
}

TEST(ScrollView, ZoomScalesTheDelegatesViewFromTheContentOrigin) {
    Fixture f({320, 480});
    auto image = std::make_shared<ImageView>(cg::Rect{40, 40, 200, 100});
    f.scroll->addSubview(image);
    f.recorder->zoomView = image.get();
    EXPECT_EQ(f.scroll->pinchGestureRecognizer(), nullptr);
    f.scroll->setMinimumZoomScale(0.5);
    f.scroll->setMaximumZoomScale(4);
    EXPECT_NE(f.scroll->pinchGestureRecognizer(), nullptr);

    f.scroll->setZoomScale(3);
    EXPECT_DOUBLE_EQ(f.scroll->zoomScale(), 3);
    EXPECT_EQ(image->frame(), (cg::Rect{0, 0, 600, 300}));
    EXPECT_EQ(f.scroll->contentSize(), (cg::Size{600, 300}));
    EXPECT_EQ(f.recorder->zooms, 1);
    // Beyond the limits it stops at them.
    f.scroll->setZoomScale(10);
    EXPECT_DOUBLE_EQ(f.scroll->zoomScale(), 4);

    // Zooming to a rectangle centres it as far as the content allows.
    f.scroll->setZoomScale(1);
    f.scroll->zoomToRect({100, 25, 80, 50}, true);
    f.ui.advance(ScrollView::kAnimationDuration + kFrame);
    EXPECT_DOUBLE_EQ(f.scroll->zoomScale(), 4);
    EXPECT_EQ(f.scroll->contentSize(), (cg::Size{800, 400}));
    EXPECT_EQ(f.scroll->contentOffset(), (cg::Point{4 * 140 - 160, 0}));

    // Two fingers moving apart zoom in about the point between them; the pan does not move the content.
    f.scroll->setZoomScale(1);
    f.recorder->events.clear();
    auto left = f.ui.fingers.down({110, 60});
    auto right = f.ui.fingers.down({210, 60});
    for (int i = 1; i <= 10; ++i) {
        f.ui.advance(kFrame);
        f.ui.fingers.move(left, {110.0 - 5 * i, 60});
        f.ui.fingers.move(right, {210.0 + 5 * i, 60});
    }
    EXPECT_TRUE(f.scroll->isZooming());
    f.ui.fingers.up(left);
    f.ui.fingers.up(right);
    EXPECT_FALSE(f.scroll->isZooming());
    EXPECT_GT(f.scroll->zoomScale(), 1.5);
    EXPECT_LT(f.scroll->zoomScale(), 2.0001);
    EXPECT_EQ(f.scroll->contentSize(), (cg::Size{200 * f.scroll->zoomScale(), 100 * f.scroll->zoomScale()}));
    EXPECT_EQ(f.eventsWithoutScrolls(), (std::vector<std::string>{"willBeginZooming", "didEndZooming"}));
}
