#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/Touch.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

// Hears recognisers' actions as "<name>:<state>" and the touches its view receives.
struct Listener : ns::Object {
    std::vector<std::string> heard;
    void tapped(GestureRecognizer* r) { heard.push_back("tap:" + std::to_string(int(r->state()))); }
    void doubleTapped(GestureRecognizer* r) { heard.push_back("double:" + std::to_string(int(r->state()))); }
    void pressed(GestureRecognizer* r) { heard.push_back("press:" + std::to_string(int(r->state()))); }
    void panned(GestureRecognizer* r) { heard.push_back("pan:" + std::to_string(int(r->state()))); }
    void swiped(GestureRecognizer* r) { heard.push_back("swipe:" + std::to_string(int(r->state()))); }
    void pinched(GestureRecognizer* r) { heard.push_back("pinch:" + std::to_string(int(r->state()))); }
    void buttonTapped(ns::Object*) { heard.push_back("button"); }
};

struct TouchView : View {
    using View::View;
    std::vector<std::string> touches;
    void touchesBegan(const TouchSet&, Event*) override { touches.push_back("began"); }
    void touchesMoved(const TouchSet&, Event*) override { touches.push_back("moved"); }
    void touchesEnded(const TouchSet&, Event*) override { touches.push_back("ended"); }
    void touchesCancelled(const TouchSet&, Event*) override { touches.push_back("cancelled"); }
};

}  // namespace

TEST(Gestures, TapsDoubleTapsAndCancelledTouches) {
    test::UIHarness harness;
    auto listener = std::make_shared<Listener>();
    auto view = std::make_shared<TouchView>(cg::Rect{0, 100, 200, 200});
    harness.root->view()->addSubview(view);
    auto single = std::make_shared<TapGestureRecognizer>(listener, Action(&Listener::tapped));
    auto twice = std::make_shared<TapGestureRecognizer>(listener, Action(&Listener::doubleTapped));
    twice->setNumberOfTapsRequired(2);
    single->requireGestureRecognizerToFail(twice);
    view->addGestureRecognizer(single);
    view->addGestureRecognizer(twice);

    // One tap: the single tap waits for the double tap to fail, which takes the tap interval; the view's
    // touch end is held back meanwhile and cancelled when the tap is recognised.
    ASSERT_TRUE(harness.fingers.tap({50, 150}));
    EXPECT_TRUE(listener->heard.empty());
    EXPECT_EQ(view->touches, (std::vector<std::string>{"began"}));
    harness.advance(TapGestureRecognizer::kMaximumTapInterval + 0.01);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"tap:3"}));
    EXPECT_EQ(view->touches, (std::vector<std::string>{"began", "cancelled"}));
    EXPECT_EQ(single->state(), GestureRecognizerState::Possible);

    // Two quick taps: the double tap wins and the single tap fails.
    listener->heard.clear();
    view->touches.clear();
    ASSERT_TRUE(harness.fingers.tap({50, 150}));
    harness.advance(0.1);
    ASSERT_TRUE(harness.fingers.tap({52, 151}, 2));
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"double:3"}));
    harness.advance(1);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"double:3"}));

    // A finger that wanders is no tap; the view sees the whole touch.
    listener->heard.clear();
    view->touches.clear();
    harness.fingers.drag({50, 150}, {120, 150}, 2);
    harness.advance(1);
    EXPECT_TRUE(listener->heard.empty());
    EXPECT_EQ(view->touches, (std::vector<std::string>{"began", "moved", "moved", "ended"}));

    // A button inside keeps its taps: the view's single-tap recogniser does not begin over it.
    twice->setEnabled(false);
    auto button = std::make_shared<Button>(cg::Rect{10, 10, 60, 30});
    button->addTarget(listener, Action(&Listener::buttonTapped), ControlEventTouchUpInside);
    view->addSubview(button);
    listener->heard.clear();
    ASSERT_TRUE(harness.fingers.tap(*button));
    harness.advance(1);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"button"}));

    // The delegate can keep touches from a recogniser.
    struct Picky : ns::Object, GestureRecognizerDelegate {
        bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, Touch& touch) override {
            return touch.locationInView(nullptr).x < 100;
        }
    };
    auto picky = std::make_shared<Picky>();
    twice->setEnabled(true);
    twice->setDelegate(picky);
    single->setDelegate(picky);
    listener->heard.clear();
    ASSERT_TRUE(harness.fingers.tap({150, 250}));
    harness.advance(1);
    EXPECT_TRUE(listener->heard.empty());
}

TEST(Gestures, LongPressBeginsAfterItsDurationOnTheClock) {
    test::UIHarness harness;
    auto listener = std::make_shared<Listener>();
    auto view = std::make_shared<View>(cg::Rect{0, 0, 200, 200});
    harness.root->view()->addSubview(view);
    auto press = std::make_shared<LongPressGestureRecognizer>(listener, Action(&Listener::pressed));
    view->addGestureRecognizer(press);

    auto finger = harness.fingers.down({50, 50});
    harness.advance(0.4);
    EXPECT_TRUE(listener->heard.empty());
    harness.advance(0.2);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"press:1"}));
    harness.fingers.move(finger, {60, 60});
    harness.fingers.up(finger);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"press:1", "press:2", "press:3"}));

    // Lifted too early, nothing happens.
    listener->heard.clear();
    finger = harness.fingers.down({50, 50});
    harness.advance(0.3);
    harness.fingers.up(finger);
    harness.advance(1);
    EXPECT_TRUE(listener->heard.empty());
}

TEST(Gestures, PanReportsTranslationVelocityAndObservableState) {
    test::UIHarness harness;
    auto listener = std::make_shared<Listener>();
    auto view = std::make_shared<TouchView>(cg::Rect{0, 0, 300, 300});
    harness.root->view()->addSubview(view);
    auto pan = std::make_shared<PanGestureRecognizer>(listener, Action(&Listener::panned));
    view->addGestureRecognizer(pan);
    std::vector<std::int64_t> states;
    auto observation = pan->addObserver("state", ns::KeyValueObservingOptionNew,
                                        [&](const ns::KeyValueChange& c) { states.push_back(c.newValue.int64Value()); });

    auto finger = harness.fingers.down({100, 100});
    harness.advance(0.1);
    harness.fingers.move(finger, {105, 100});  // within the hysteresis
    EXPECT_TRUE(listener->heard.empty());
    harness.advance(0.1);
    harness.fingers.move(finger, {130, 110});
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"pan:1"}));
    EXPECT_EQ(pan->translationInView(view.get()), (cg::Point{30, 10}));
    EXPECT_NEAR(pan->velocityInView(view.get()).x, 250, 1e-3);  // 25 points in 0.1 s
    // The view was cut off once the pan began.
    EXPECT_EQ(view->touches, (std::vector<std::string>{"began", "moved", "cancelled"}));

    pan->setTranslation({0, 0}, view.get());
    harness.advance(0.1);
    harness.fingers.move(finger, {140, 110});
    EXPECT_EQ(pan->translationInView(view.get()), (cg::Point{10, 0}));
    // Seen from a view drawn at twice the scale, the same movement is half as long.
    auto scaled = std::make_shared<View>(cg::Rect{0, 0, 100, 100});
    scaled->setTransform(cg::AffineTransform::makeScale(2, 2));
    view->addSubview(scaled);
    EXPECT_EQ(pan->translationInView(scaled.get()), (cg::Point{5, 0}));
    harness.fingers.up(finger);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"pan:1", "pan:2", "pan:3"}));
    EXPECT_EQ(states, (std::vector<std::int64_t>{1, 2, 3, 0}));
}

TEST(Gestures, SwipesAndPinches) {
    test::UIHarness harness;
    auto listener = std::make_shared<Listener>();
    auto view = std::make_shared<View>(cg::Rect{0, 0, 300, 400});
    harness.root->view()->addSubview(view);
    auto swipe = std::make_shared<SwipeGestureRecognizer>(listener, Action(&Listener::swiped));
    swipe->setDirection(SwipeGestureRecognizerDirectionLeft);
    view->addGestureRecognizer(swipe);

    harness.fingers.drag({200, 100}, {80, 105}, 4);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"swipe:3"}));
    listener->heard.clear();
    harness.fingers.drag({80, 100}, {200, 100}, 4);  // the wrong way
    EXPECT_TRUE(listener->heard.empty());

    auto pinch = std::make_shared<PinchGestureRecognizer>(listener, Action(&Listener::pinched));
    view->addGestureRecognizer(pinch);
    auto a = harness.fingers.down({100, 200});
    auto b = harness.fingers.down({200, 200});
    harness.fingers.move(b, {300, 200});
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"pinch:1"}));
    EXPECT_DOUBLE_EQ(pinch->scale(), 2);
    harness.fingers.move(a, {150, 200});
    EXPECT_DOUBLE_EQ(pinch->scale(), 1.5);
    harness.fingers.up(b);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"pinch:1", "pinch:2", "pinch:3"}));
    harness.fingers.up(a);
    EXPECT_EQ(pinch->state(), GestureRecognizerState::Possible);
    EXPECT_DOUBLE_EQ(pinch->scale(), 1);
}
