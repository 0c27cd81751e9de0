#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/foundation/Class.h"
#include "platform/foundation/Clock.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/CollectionViewCell.h"
#include "platform/ui/CollectionViewFlowLayout.h"
#include "platform/ui/Color.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/ProgressView.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewHeaderFooterView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/View.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

struct StopListener : ns::Object {
    std::vector<std::string> heard;
    void started(const std::string& id, void*) { heard.push_back("start " + id); }
    void stopped(const std::string& id, bool finished, void* context) {
        heard.push_back("stop " + id + (finished ? " finished " : " cut ") + static_cast<const char*>(context));
    }
    void dismiss() { heard.push_back("dismiss"); }
};

}  // namespace

TEST(Animation, BlocksSetValuesAtOnceAndCompleteAfterTheirTimeOnTheClock) {
    test::UIHarness harness;
    auto view = std::make_shared<View>(cg::Rect{0, 0, 100, 100});
    harness.root->view()->addSubview(view);
    std::vector<std::string> done;

    View::animate(0.3, 0.1, ViewAnimationOptionCurveEaseOut | ViewAnimationOptionAllowUserInteraction,
                  [&] {
                      view->setAlpha(0.5);
                      view->setCenter({80, 80});
                  },
                  [&](bool finished) { done.push_back(finished ? "finished" : "cut"); });
    EXPECT_DOUBLE_EQ(view->alpha(), 0.5);
    EXPECT_EQ(view->center(), (cg::Point{80, 80}));
    auto fade = view->layer()->animationForKey("opacity");
    ASSERT_TRUE(fade);
    EXPECT_DOUBLE_EQ(fade->duration(), 0.3);
    EXPECT_EQ(fade->timingFunction(), TimingFunction::EaseOut);
    EXPECT_EQ(fade->options() & ViewAnimationOptionAllowUserInteraction, ViewAnimationOptionAllowUserInteraction);
    EXPECT_DOUBLE_EQ(fade->beginTime(), ns::Clock::now() + 0.1);
    EXPECT_EQ(view->layer()->animationKeys(), (std::vector<std::string>{"opacity", "position"}));
    harness.advance(0.39);
    EXPECT_TRUE(done.empty());
    harness.advance(0.02);
    EXPECT_EQ(done, (std::vector<std::string>{"finished"}));
    EXPECT_TRUE(view->layer()->animationKeys().empty());

    // A later animation of the same property cuts the earlier one short; its completion says so at once.
    done.clear();
    View::animate(1, [&] { view->setAlpha(0); }, [&](bool finished) { done.push_back(finished ? "first" : "first cut"); });
    harness.advance(0.2);
    View::animate(0.15, [&] { view->setAlpha(1); }, [&](bool finished) { done.push_back(finished ? "second" : "second cut"); });
    harness.settle();
    EXPECT_EQ(done, (std::vector<std::string>{"first cut"}));
    harness.advance(0.2);
    EXPECT_EQ(done, (std::vector<std::string>{"first cut", "second"}));

    // Nothing animatable changed: the completion comes on the next turn, not after the duration.
    done.clear();
    View::animate(5, [&] { view->setTag(3); }, [&](bool finished) { done.push_back(finished ? "empty" : "x"); });
    EXPECT_TRUE(done.empty());
    harness.settle();
    EXPECT_EQ(done, (std::vector<std::string>{"empty"}));

    // Springs keep their parameters; changes without animation record nothing.
    View::animateWithSpring(0.5, 0, 0.3, 5, ViewAnimationOptionCurveLinear, [&] { view->setBounds({0, 0, 10, 10}); });
    auto spring = view->layer()->animationForKey("bounds");
    ASSERT_TRUE(spring);
    EXPECT_TRUE(spring->isSpring());
    EXPECT_DOUBLE_EQ(spring->damping(), 0.3);
    EXPECT_DOUBLE_EQ(spring->initialVelocity(), 5);
    EXPECT_EQ(spring->timingFunction(), TimingFunction::Linear);
    View::animate(1, [&] { View::performWithoutAnimation([&] { view->setTransform(cg::AffineTransform::makeScale(2, 2)); }); });
    EXPECT_FALSE(view->layer()->animationForKey("transform"));
    harness.advance(1);
}

TEST(Animation, BeginCommitFormSendsTheDelegateItsMessages) {
    test::UIHarness harness;
    auto view = std::make_shared<View>(cg::Rect{0, 0, 100, 100});
    harness.root->view()->addSubview(view);
    auto listener = std::make_shared<StopListener>();
    static const char kContext[] = "ctx";

    View::beginAnimations("hide", const_cast<char*>(kContext));
    View::setAnimationDuration(0.3);
    View::setAnimationCurve(ViewAnimationCurve::EaseOut);
    View::setAnimationDelegate(listener);
    View::setAnimationWillStartSelector(&StopListener::started);
    View::setAnimationDidStopSelector(&StopListener::stopped);
    view->setAlpha(0);
    View::commitAnimations();
    EXPECT_DOUBLE_EQ(view->alpha(), 0);
    EXPECT_EQ(view->layer()->animationForKey("opacity")->timingFunction(), TimingFunction::EaseOut);
    harness.settle();
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"start hide"}));
    harness.advance(0.31);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"start hide", "stop hide finished ctx"}));

    // A did-stop member without parameters is fine too; the default duration is 0.2 s.
    listener->heard.clear();
    View::beginAnimations();
    View::setAnimationDelegate(listener);
    View::setAnimationDidStopSelector(&StopListener::dismiss);
    view->setAlpha(1);
    View::commitAnimations();
    harness.advance(0.19);
    EXPECT_TRUE(listener->heard.empty());
    harness.advance(0.02);
    EXPECT_EQ(listener->heard, (std::vector<std::string>{"dismiss"}));

    // A delegate that is gone by the end is not sent anything.
    std::weak_ptr<StopListener> gone;
    {
        auto shortLived = std::make_shared<StopListener>();
        gone = shortLived;
        View::beginAnimations("x", nullptr);
        View::setAnimationDelegate(shortLived);
        View::setAnimationDidStopSelector(&StopListener::dismiss);
        view->setAlpha(0.5);
        View::commitAnimations();
    }
    EXPECT_TRUE(gone.expired());
    harness.advance(1);
}

TEST(Animation, ViewsMadeInsideABlockAreBuiltWithoutBeingAnimated) {
    test::UIHarness harness;
    auto view = std::make_shared<View>(cg::Rect{0, 0, 100, 100});
    harness.root->view()->addSubview(view);
    std::vector<std::shared_ptr<View>> made;
    // Their constructors set colours and frames, which a block records for views on screen.
    View::animate(0.3, [&] {
        view->setAlpha(0.5);
        made.push_back(std::make_shared<TableViewCell>(TableViewCellStyle::Subtitle, "Cell"));
        made.push_back(std::make_shared<TableView>(cg::Rect{0, 0, 320, 200}, TableViewStyle::Grouped));
        made.push_back(std::make_shared<TableViewHeaderFooterView>("Header"));
        made.push_back(std::make_shared<CollectionViewCell>(cg::Rect{0, 0, 50, 50}));
        made.push_back(std::make_shared<CollectionView>(cg::Rect{0, 0, 320, 200},
                                                        std::make_shared<CollectionViewFlowLayout>()));
        made.push_back(std::make_shared<ActivityIndicatorView>(ActivityIndicatorViewStyle::Gray));
        made.push_back(std::make_shared<PageControl>(cg::Rect{0, 0, 100, 20}));
        made.push_back(std::make_shared<ProgressView>(ProgressViewStyle::Bar));
        made.push_back(std::make_shared<SegmentedControl>(std::vector<SegmentedControl::Item>{"One", "Two"}));
        made.push_back(std::make_shared<Switch>(cg::Rect::zero()));
        made.push_back(std::make_shared<TextField>(cg::Rect{0, 0, 100, 30}));
        made.push_back(std::make_shared<TextView>(cg::Rect{0, 0, 100, 100}));
        made.push_back(std::make_shared<Toolbar>(cg::Rect{0, 0, 320, 44}));
        // And every other view class the runtime can make by name.
        for (const ns::Class* cls : ns::Class::allClasses()) {
            if (!cls->isSubclassOf(View::classObject()) || !cls->canCreateInstances()) continue;
            made.push_back(std::static_pointer_cast<View>(cls->createInstance()));
        }
    });
    EXPECT_GT(made.size(), 10u);
    for (const auto& built : made) {
        EXPECT_TRUE(built->layer()->animationKeys().empty()) << built->description();
        // Changed once owned and on screen, inside a block, they animate as any view does.
        harness.root->view()->addSubview(built);
        View::animate(0.3, [&] { built->setAlpha(0.5); });
        EXPECT_TRUE(built->layer()->animationForKey("opacity")) << built->description();
        built->removeFromSuperview();
    }
    EXPECT_TRUE(view->layer()->animationForKey("opacity"));
    harness.advance(1);
}

TEST(Animation, ABlockThatThrowsIsClosed) {
    test::UIHarness harness;
    auto view = std::make_shared<View>(cg::Rect{0, 0, 100, 100});
    harness.root->view()->addSubview(view);
    bool completed = false;
    View::animate(0.3, [&] {
        EXPECT_THROW(View::animate(
                         0.5, [&] { throw std::runtime_error("the caller's code failed"); },
                         [&](bool) { completed = true; }),
                     std::runtime_error);
        EXPECT_THROW(View::performWithoutAnimation([] { throw std::runtime_error("again"); }), std::runtime_error);
        // Still the outer block, animating with its own duration.
        view->setAlpha(0.5);
    });
    auto fade = view->layer()->animationForKey("opacity");
    ASSERT_TRUE(fade);
    EXPECT_DOUBLE_EQ(fade->duration(), 0.3);
    harness.advance(1);
    EXPECT_FALSE(completed);

    // Outside any block again: changes are not animated, and new views are made as usual.
    EXPECT_THROW(View::animate(0.5, [] { throw std::runtime_error("failed"); }), std::runtime_error);
    view->setCenter({10, 10});
    EXPECT_FALSE(view->layer()->animationForKey("position"));
    EXPECT_NO_THROW(std::make_shared<TableViewCell>(TableViewCellStyle::Default, "Cell"));
}
