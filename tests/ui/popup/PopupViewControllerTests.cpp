#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "tests/ui/BootedDevice.h"
#include "ui/popup/PopupViewController.h"

using namespace ql;

namespace {

// A card that writes down the appearance calls it gets.
class Card : public ui::ViewController {
public:
    void loadView() override { setView(std::make_shared<ui::View>(cg::Rect{0, 0, 200, 120})); }
    void viewWillAppear(bool animated) override { calls.push_back(animated ? "will appear animated" : "will appear"); }
    void viewDidAppear(bool) override { calls.push_back("did appear"); }
    void viewWillDisappear(bool) override { calls.push_back("will disappear"); }
    void viewDidDisappear(bool) override { calls.push_back("did disappear"); }
    std::vector<std::string> take() { return std::exchange(calls, {}); }

    std::vector<std::string> calls;
};

void expectFrame(const ui::View& view, const cg::Rect& frame) {
    EXPECT_NEAR(view.frame().origin.x, frame.origin.x, 1e-9);
    EXPECT_NEAR(view.frame().origin.y, frame.origin.y, 1e-9);
    EXPECT_NEAR(view.frame().size.width, frame.size.width, 1e-9);
    EXPECT_NEAR(view.frame().size.height, frame.size.height, 1e-9);
}

class PopupTest : public ::testing::Test {
protected:
    explicit PopupTest(const sim::ScreenProfile& profile = sim::ScreenProfile::phone320x568()) : app(profile) {
        // The presenter sits inside the root controller: popups go on the root's view.
        presenter = std::make_shared<ui::ViewController>();
        app.delegate->root->addChildViewController(presenter);
        app.rootView().addSubview(presenter->view());
        app.device.advance(0);
    }

    ui::View& source() { return app.rootView(); }
    ui::View* overlay() { return source().viewWithTag(PopupOverlayViewTag); }

    test::BootedDevice app;
    std::shared_ptr<ui::ViewController> presenter;
    std::shared_ptr<Card> card = std::make_shared<Card>();
    int dismissals = 0;
};

class PadPopupTest : public PopupTest {
protected:
    PadPopupTest() : PopupTest(sim::ScreenProfile::pad768x1024()) {}
};

}  // namespace

TEST_F(PopupTest, AFadedCardSpansTheWidthAndATapOutsideFadesItOnce) {
    presentPopupViewController(*presenter, card, 10, [this] { ++dismissals; });
    EXPECT_EQ(topView(*presenter).get(), &source());
    EXPECT_EQ(source().tag(), PopupSourceViewTag);
    ASSERT_TRUE(overlay());
    EXPECT_EQ(source().subviews().back().get(), overlay());
    expectFrame(*card->view(), {0, (568 - 120) / 3.0, 320, 120});
    EXPECT_EQ(card->view()->tag(), PopupViewTag);
    EXPECT_EQ(card->view()->autoresizingMask(), 45u);
    EXPECT_TRUE(card->view()->layer()->shouldRasterize());
    EXPECT_FLOAT_EQ(card->view()->alpha(), 1);
    EXPECT_FLOAT_EQ(mm_popupBackgroundView(*presenter)->alpha(), 0.5f);
    EXPECT_EQ(mm_popupViewController(*presenter), card);
    EXPECT_EQ(card->take(), std::vector<std::string>{"will appear"});
    app.device.advance(0.34);
    EXPECT_TRUE(card->take().empty());
    app.device.advance(0.02);
    EXPECT_EQ(card->take(), std::vector<std::string>{"did appear"});

    app.device.tap(cg::Point{160, 500});
    EXPECT_EQ(card->take(), std::vector<std::string>{"will disappear"});
    EXPECT_FLOAT_EQ(card->view()->alpha(), 0);
    EXPECT_EQ(dismissals, 0);
    app.device.advance(0.36);
    EXPECT_EQ(card->take(), std::vector<std::string>{"did disappear"});
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(overlay(), nullptr);
    EXPECT_EQ(card->view()->superview(), nullptr);
    EXPECT_FALSE(mm_popupViewController(*presenter));

    // A dismissal with nothing shown runs no callback a second time.
    dismissPopupViewControllerWithanimationType(*presenter, 10);
    app.device.advance(0.5);
    EXPECT_EQ(dismissals, 1);
}

TEST_F(PopupTest, TypeNineIgnoresTapsOutsideTheCardButNotOnIt) {
    auto button = std::make_shared<ui::Button>(cg::Rect{20, 20, 80, 40});
    button->setTitle("确定", ui::ControlStateNormal);
    int taps = 0;
    struct Target : ns::Object {
        int* taps;
        void tapped() { ++*taps; }
    };
    auto target = std::make_shared<Target>();
    target->taps = &taps;
    button->addTarget(target, ui::Action(&Target::tapped), ui::ControlEventTouchUpInside);
    card->view()->addSubview(button);

    presentPopupViewController(*presenter, card, PopupAnimationFadeIgnoringTaps);
    app.device.advance(0.4);
    app.device.tap(cg::Point{160, 520});
    app.device.advance(0.5);
    EXPECT_NE(overlay(), nullptr);
    app.device.tap(*button);
    EXPECT_EQ(taps, 1);
    EXPECT_NE(overlay(), nullptr);

    dismissPopupViewControllerWithanimationType(*presenter, 10);
    app.device.advance(0.4);
    EXPECT_EQ(overlay(), nullptr);
}

TEST_F(PopupTest, SlidesComeInByOneEdgeAndLeaveByAnother) {
    struct Case {
        std::int32_t type;
        cg::Point end;
    };
    // Source 320 × 568, card 200 × 120: centred at (60, 224). Up and down recentre the card; left and
    // right keep its height.
    const Case cases[] = {
        {1, {60, -120}}, {2, {60, 568}}, {3, {60, -120}}, {4, {60, 568}},
        {5, {-200, 224}}, {6, {320, 224}}, {7, {-200, 224}}, {8, {320, 224}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        auto slid = std::make_shared<Card>();
        presentPopupViewController(*presenter, slid, c.type);
        ASSERT_TRUE(slid->view()->layer()->animationForKey("position"));
        EXPECT_EQ(slid->view()->frame(), (cg::Rect{60, 224, 200, 120}));
        EXPECT_FLOAT_EQ(slid->view()->alpha(), 1);
        EXPECT_FLOAT_EQ(mm_popupBackgroundView(*presenter)->alpha(), 1);
        app.device.advance(0.4);
        EXPECT_EQ(slid->take(), (std::vector<std::string>{"will appear", "did appear"}));

        // A tap outside leaves by the same type's way out.
        app.device.tap(cg::Point{5, 5});
        EXPECT_EQ(slid->view()->frame().origin, c.end);
        app.device.advance(0.4);
        EXPECT_EQ(overlay(), nullptr);
        EXPECT_EQ(slid->take(), (std::vector<std::string>{"will disappear", "did disappear"}));
    }
}

TEST_F(PopupTest, AViewAlreadyInTheSourceIsOnlyTagged) {
    auto view = std::make_shared<ui::View>(cg::Rect{10, 10, 50, 50});
    source().addSubview(view);
    presentPopupView(*presenter, view, 0, [this] { ++dismissals; });
    EXPECT_EQ(view->tag(), PopupViewTag);
    EXPECT_EQ(view->autoresizingMask(), 45u);
    EXPECT_EQ(overlay(), nullptr);
    EXPECT_FALSE(dismissedCallback(*presenter));
}

TEST_F(PopupTest, ASecondPresentationStacksAndADismissalTakesTheFirst) {
    auto second = std::make_shared<Card>();
    presentPopupViewController(*presenter, card, 0);
    presentPopupViewController(*presenter, second, 0);
    app.device.advance(0.4);
    ui::View* first = overlay();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(source().subviews().back()->viewWithTag(PopupViewTag), second->view().get());

    dismissPopupViewControllerWithanimationType(*presenter, 0);
    app.device.advance(0.4);
    EXPECT_EQ(card->view()->superview(), nullptr);
    EXPECT_NE(second->view()->superview(), nullptr);
    EXPECT_NE(overlay(), first);
}

TEST_F(PopupTest, ACallbackThatPresentsTheNextCardKeepsThatCardsCallback) {
    auto next = std::make_shared<Card>();
    int nextDismissals = 0;
    presentPopupViewController(*presenter, card, 0, [&] {
        ++dismissals;
        presentPopupViewController(*presenter, next, 0, [&] { ++nextDismissals; });
    });
    app.device.advance(0.4);
    dismissPopupViewControllerWithanimationType(*presenter, 0);
    app.device.advance(0.4);
    EXPECT_EQ(dismissals, 1);
    ASSERT_EQ(mm_popupViewController(*presenter), next);
    EXPECT_TRUE(dismissedCallback(*presenter));

    dismissPopupViewControllerWithanimationType(*presenter, 0);
    app.device.advance(0.4);
    EXPECT_EQ(nextDismissals, 1);
    EXPECT_EQ(dismissals, 1);
}

TEST_F(PadPopupTest, AFadedCardOnAPadIsTallerBelowTheSameTop) {
    presentPopupViewController(*presenter, card, 0);
    expectFrame(*card->view(), {0, (1024 - 120) / 3.0, 768, 320});
}
