#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Color.h"
#include "platform/ui/DisplayCycle.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ShapeLayer.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

// Records the calls a view receives about layout, drawing and its place in the tree.
class RecordingView : public View {
public:
    explicit RecordingView(const cg::Rect& frame, std::vector<std::string>* log = nullptr, std::string name = "")
        : View(frame), log_(log), name_(std::move(name)) {}

    int layouts = 0;
    int draws = 0;

    void layoutSubviews() override { ++layouts; }
    void drawRect(const cg::Rect&) override {
        ++draws;
        if (auto* context = GraphicsGetCurrentContext()) {
            context->setFillColor(cg::Color::rgb(0, 0, 1, 1));
            context->fillRect({0, 0, 4, 4});
        }
    }
    void willMoveToSuperview(View* s) override { note(s ? "willMoveToSuperview" : "willMoveToSuperview(nil)"); }
    void didMoveToSuperview() override { note("didMoveToSuperview"); }
    void willMoveToWindow(Window* w) override { note(w ? "willMoveToWindow" : "willMoveToWindow(nil)"); }
    void didMoveToWindow() override { note("didMoveToWindow"); }
    void didAddSubview(View*) override { note("didAddSubview"); }
    void willRemoveSubview(View*) override { note("willRemoveSubview"); }

private:
    void note(const std::string& what) {
        if (log_) log_->push_back(name_ + "." + what);
    }
    std::vector<std::string>* log_;
    std::string name_;
};

void expectRect(const cg::Rect& r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.origin.x, x, 1e-9);
    EXPECT_NEAR(r.origin.y, y, 1e-9);
    EXPECT_NEAR(r.size.width, w, 1e-9);
    EXPECT_NEAR(r.size.height, h, 1e-9);
}

}  // namespace

TEST(View, AutoresizingSharesTheChangeAmongFlexibleParts) {
    auto parent = std::make_shared<View>(cg::Rect{0, 0, 100, 100});
    auto widthAndRight = std::make_shared<View>(cg::Rect{10, 10, 20, 20});
    widthAndRight->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleRightMargin);
    auto margins = std::make_shared<View>(cg::Rect{40, 0, 20, 100});
    margins->setAutoresizingMask(ViewAutoresizingFlexibleLeftMargin | ViewAutoresizingFlexibleRightMargin |
                                 ViewAutoresizingFlexibleHeight);
    auto fixed = std::make_shared<View>(cg::Rect{5, 5, 10, 10});
    auto bottomPinned = std::make_shared<View>(cg::Rect{0, 80, 100, 20});
    bottomPinned->setAutoresizingMask(ViewAutoresizingFlexibleTopMargin | ViewAutoresizingFlexibleWidth);
    for (auto& v : {widthAndRight, margins, fixed, bottomPinned}) parent->addSubview(v);

    parent->setFrame({0, 0, 190, 160});
    // Width (20) and right margin (70) share +90 as 20:70.
    expectRect(widthAndRight->frame(), 10, 10, 40, 20);
    // Equal margins (40 and 40) share +90; the flexible height takes all of +60.
    expectRect(margins->frame(), 85, 0, 20, 160);
    expectRect(fixed->frame(), 5, 5, 10, 10);
    expectRect(bottomPinned->frame(), 0, 140, 190, 20);

    // Without autoresizesSubviews nothing follows.
    parent->setAutoresizesSubviews(false);
    parent->setFrame({0, 0, 100, 100});
    expectRect(fixed->frame(), 5, 5, 10, 10);
    expectRect(bottomPinned->frame(), 0, 140, 190, 20);

    // Zero-sized flexible parts share equally.
    auto holder = std::make_shared<View>(cg::Rect{0, 0, 20, 20});
    auto filler = std::make_shared<View>(cg::Rect{0, 0, 20, 20});
    filler->setAutoresizingMask(ViewAutoresizingFlexibleLeftMargin | ViewAutoresizingFlexibleRightMargin);
    holder->addSubview(filler);
    holder->setBounds({0, 0, 40, 20});
    expectRect(filler->frame(), 10, 0, 20, 20);
}

TEST(View, LayoutPassesRunOnceFromTheHighestViewInNeed) {
    test::UIHarness harness;
    auto container = std::make_shared<RecordingView>(cg::Rect{0, 0, 100, 100});
    auto child = std::make_shared<RecordingView>(cg::Rect{0, 0, 50, 50});
    container->addSubview(child);
    harness.root->view()->addSubview(container);
    harness.settle();
    EXPECT_EQ(container->layouts, 1);
    EXPECT_EQ(child->layouts, 1);

    // Requests are gathered into one pass at the end of the turn.
    child->setNeedsLayout();
    child->setNeedsLayout();
    EXPECT_EQ(child->layouts, 1);
    harness.settle();
    EXPECT_EQ(child->layouts, 2);
    EXPECT_EQ(container->layouts, 1);

    // layoutIfNeeded lays out at once, the ancestor in need first; a view not in need is left alone.
    container->setNeedsLayout();
    child->setNeedsLayout();
    child->layoutIfNeeded();
    EXPECT_EQ(container->layouts, 2);
    EXPECT_EQ(child->layouts, 3);
    container->layoutIfNeeded();
    EXPECT_EQ(container->layouts, 2);

    // A new size lays out the view and its superview; a move does not.
    child->setFrame({10, 10, 50, 50});
    harness.settle();
    EXPECT_EQ(child->layouts, 3);
    child->setFrame({10, 10, 60, 50});
    harness.settle();
    EXPECT_EQ(child->layouts, 4);
    EXPECT_EQ(container->layouts, 3);

    // The controller hears about the layout of its view around the view's own.
    struct Controller : ViewController {
        std::vector<std::string>* log;
        void viewWillLayoutSubviews() override { log->push_back("will"); }
        void viewDidLayoutSubviews() override { log->push_back("did"); }
    };
    std::vector<std::string> log;
    struct Logged : View {
        std::vector<std::string>* log;
        void layoutSubviews() override { log->push_back("layout"); }
    };
    auto controller = std::make_shared<Controller>();
    controller->log = &log;
    auto view = std::make_shared<Logged>();
    view->log = &log;
    controller->setView(view);
    view->setNeedsLayout();
    view->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"will", "layout", "did"}));
}

TEST(View, SubviewOrderingKeepsLayersInStepAndReportsMoves) {
    test::UIHarness harness;
    std::vector<std::string> log;
    auto parent = std::make_shared<RecordingView>(cg::Rect{0, 0, 100, 100}, &log, "parent");
    auto a = std::make_shared<RecordingView>(cg::Rect{}, &log, "a");
    auto b = std::make_shared<View>();
    auto c = std::make_shared<View>();
    auto d = std::make_shared<View>();
    parent->addSubview(a);
    EXPECT_EQ(log, (std::vector<std::string>{"a.willMoveToSuperview", "a.didMoveToSuperview", "parent.didAddSubview"}));
    auto extra = Layer::layer();
    parent->layer()->addSublayer(extra);
    parent->addSubview(b);
    parent->insertSubview(c, 0);
    parent->insertSubviewAbove(d, c.get());
    auto names = [&] {
        std::string s;
        for (auto& v : parent->subviews()) s += v == a ? "a" : v == b ? "b" : v == c ? "c" : "d";
        return s;
    };
    EXPECT_EQ(names(), "cdab");
    parent->bringSubviewToFront(c.get());
    EXPECT_EQ(names(), "dabc");
    parent->sendSubviewToBack(b.get());
    EXPECT_EQ(names(), "bdac");
    parent->exchangeSubviewAtIndex(0, 3);
    EXPECT_EQ(names(), "cdab");
    parent->insertSubviewBelow(b, d.get());
    EXPECT_EQ(names(), "cbda");
    // The subviews' layers follow the same order; the extra sublayer keeps its place between them.
    std::vector<const Layer*> layers;
    for (auto& l : parent->layer()->sublayers()) layers.push_back(l.get());
    EXPECT_EQ(layers, (std::vector<const Layer*>{c->layer().get(), b->layer().get(), d->layer().get(),
                                                 a->layer().get(), extra.get()}));

    // Moving into a window is told to every view of the subtree, parent first.
    log.clear();
    harness.root->view()->addSubview(parent);
    EXPECT_EQ(log, (std::vector<std::string>{"parent.willMoveToSuperview", "parent.willMoveToWindow",
                                             "a.willMoveToWindow", "parent.didMoveToWindow", "a.didMoveToWindow",
                                             "parent.didMoveToSuperview"}));
    EXPECT_EQ(a->window(), harness.window.get());
    log.clear();
    a->removeFromSuperview();
    EXPECT_EQ(log, (std::vector<std::string>{"parent.willRemoveSubview", "a.willMoveToSuperview(nil)",
                                             "a.willMoveToWindow(nil)", "a.didMoveToWindow", "a.didMoveToSuperview"}));
    EXPECT_EQ(a->window(), nullptr);
    EXPECT_EQ(a->superview(), nullptr);

    // Tags are found depth first, the receiver first; a cycle is refused.
    c->setTag(7);
    auto deep = std::make_shared<View>();
    deep->setTag(7);
    d->addSubview(deep);
    deep->setTag(8);
    EXPECT_EQ(parent->viewWithTag(7), c.get());
    EXPECT_EQ(parent->viewWithTag(8), deep.get());
    EXPECT_EQ(parent->viewWithTag(99), nullptr);
    EXPECT_THROW(deep->addSubview(parent), ns::Exception);

    // A view released while its layer and a subview live on leaves the subview's layer on no layer and
    // its own extra sublayer where it was.
    auto gone = std::make_shared<View>();
    auto survivor = std::make_shared<View>();
    gone->addSubview(std::make_shared<View>());
    gone->addSubview(survivor);
    gone->layer()->addSublayer(extra);
    const auto keptLayer = gone->layer();
    gone.reset();
    EXPECT_EQ(survivor->superview(), nullptr);
    EXPECT_EQ(survivor->layer()->superlayer(), nullptr);
    EXPECT_EQ(keptLayer->sublayers(), (std::vector<std::shared_ptr<Layer>>{extra}));
    EXPECT_EQ(extra->superlayer(), keptLayer.get());
}

TEST(View, ConvertsBetweenViewsThroughBoundsTransformsAndWindows) {
    test::UIHarness harness({0, 0, 320, 480});
    auto outer = std::make_shared<View>(cg::Rect{20, 40, 200, 200});
    outer->setBounds({0, 100, 200, 200});  // scrolled down by 100, as a scroll view's offset does
    auto inner = std::make_shared<View>(cg::Rect{10, 110, 50, 50});
    inner->setTransform(cg::AffineTransform::makeScale(2, 2));
    outer->addSubview(inner);
    harness.root->view()->addSubview(outer);

    // The inner view's frame is its scaled bounds around its centre (35, 135): (10, 110) - (60, 160) grows to
    // (-15, 85) - (85, 185), seen from the window 100 higher and 20/40 further.
    const cg::Point topLeft = inner->convertPointToView({0, 0}, nullptr);
    EXPECT_NEAR(topLeft.x, 20 - 15, 1e-9);
    EXPECT_NEAR(topLeft.y, 40 - 15, 1e-9);
    const cg::Rect r = inner->convertRectToView(inner->bounds(), harness.root->view().get());
    expectRect(r, 5, 25, 100, 100);
    const cg::Point back = inner->convertPointFromView(topLeft, nullptr);
    EXPECT_NEAR(back.x, 0, 1e-9);
    EXPECT_NEAR(back.y, 0, 1e-9);

    // A second window elsewhere on the screen: conversion goes through screen coordinates.
    auto other = std::make_shared<Window>(cg::Rect{100, 200, 100, 100});
    auto target = std::make_shared<View>(cg::Rect{10, 10, 20, 20});
    other->addSubview(target);
    const cg::Rect seen = inner->convertRectToView({0, 0, 10, 10}, target.get());
    expectRect(seen, 5 - 110, 25 - 210, 20, 20);
    const cg::Point onScreen = other->convertPointToWindow({0, 0}, nullptr);
    EXPECT_EQ(onScreen, (cg::Point{100, 200}));
    EXPECT_EQ(harness.window->convertPointFromWindow({110, 210}, other.get()), (cg::Point{210, 410}));
}

TEST(View, HitTestingHonoursTransformsVisibilityAndInteraction) {
    test::UIHarness harness;
    auto panel = std::make_shared<View>(cg::Rect{0, 0, 200, 200});
    auto small = std::make_shared<View>(cg::Rect{50, 50, 20, 20});
    small->setTransform(cg::AffineTransform::makeScale(3, 3));  // covers 30…90 on both axes
    panel->addSubview(small);
    harness.root->view()->addSubview(panel);
    View* root = harness.window.get();

    EXPECT_EQ(root->hitTest({85, 85}, nullptr), small.get());
    EXPECT_EQ(root->hitTest({95, 95}, nullptr), panel.get());

    small->setAlpha(0.005);
    EXPECT_EQ(root->hitTest({60, 60}, nullptr), panel.get());
    small->setAlpha(1);
    small->setHidden(true);
    EXPECT_EQ(root->hitTest({60, 60}, nullptr), panel.get());
    small->setHidden(false);
    small->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({60, 60}, nullptr), panel.get());
    small->setUserInteractionEnabled(true);

    // A subview outside its superview's bounds cannot be hit there, clipped or not.
    auto outside = std::make_shared<View>(cg::Rect{190, 190, 40, 40});
    panel->addSubview(outside);
    EXPECT_EQ(root->hitTest({195, 195}, nullptr), outside.get());
    EXPECT_NE(root->hitTest({210, 210}, nullptr), outside.get());

    // A view that widens its touch area keeps the touches around it.
    struct Generous : View {
        using View::View;
        bool pointInside(cg::Point p, Event*) const override {
            return cg::rectContainsPoint(cg::rectInset(bounds(), -10, -10), p);
        }
    };
    auto generous = std::make_shared<Generous>(cg::Rect{120, 20, 20, 20});
    panel->addSubview(generous);
    EXPECT_EQ(root->hitTest({115, 15}, nullptr), generous.get());
}

TEST(View, DisplayPassDrawsMarkedViewsOnceAndRendersTheLayerLook) {
    test::UIHarness harness({0, 0, 100, 100}, 1);
    auto drawn = std::make_shared<RecordingView>(cg::Rect{10, 10, 20, 20});
    harness.root->view()->addSubview(drawn);
    harness.settle();
    EXPECT_EQ(drawn->draws, 1);
    harness.settle();
    EXPECT_EQ(drawn->draws, 1);
    drawn->setNeedsDisplay();
    EXPECT_EQ(drawn->draws, 1);
    harness.settle();
    EXPECT_EQ(drawn->draws, 2);
    ASSERT_TRUE(drawn->layer()->contents());

    // A rounded, bordered, clipped box: the corner stays clear, the border shows, the child is clipped.
    auto box = std::make_shared<View>(cg::Rect{40, 40, 40, 40});
    box->setBackgroundColor(Color::whiteColor());
    box->layer()->setCornerRadius(10);
    box->layer()->setBorderWidth(2);
    box->layer()->setBorderColor(cg::Color::rgb(1, 0, 0, 1));
    box->setClipsToBounds(true);
    auto child = std::make_shared<View>(cg::Rect{20, 20, 40, 40});
    child->setBackgroundColor(Color::greenColor());
    box->addSubview(child);
    harness.root->view()->setBackgroundColor(Color::blackColor());
    harness.root->view()->addSubview(box);
    harness.settle();

    auto context = cg::BitmapContext::createForImage({100, 100}, false, 1);
    harness.window->layer()->renderInContext(*context);
    auto image = context->makeImage();
    EXPECT_EQ(image->pixel(41, 41), (cg::Image::Pixel{0, 0, 0, 255}));    // the rounded corner shows black
    EXPECT_EQ(image->pixel(50, 40), (cg::Image::Pixel{255, 0, 0, 255}));  // top border
    EXPECT_EQ(image->pixel(50, 50), (cg::Image::Pixel{255, 255, 255, 255}));
    EXPECT_EQ(image->pixel(70, 70), (cg::Image::Pixel{0, 255, 0, 255}));  // the child inside
    EXPECT_EQ(image->pixel(85, 85), (cg::Image::Pixel{0, 0, 0, 255}));    // the child clipped outside
    EXPECT_EQ(image->pixel(11, 11), (cg::Image::Pixel{0, 0, 255, 255}));  // drawRect's contents
    EXPECT_EQ(image->pixel(20, 20), (cg::Image::Pixel{0, 0, 0, 255}));    // nothing drawn there
}

TEST(View, ADrawingThatThrowsLeavesNoCurrentContext) {
    struct Failing : View {
        using View::View;
        bool fails = true;
        void drawRect(const cg::Rect&) override {
            if (fails) throw std::runtime_error("drawing failed");
            GraphicsGetCurrentContext()->setFillColor(cg::Color::rgb(0, 0, 1, 1));
            GraphicsGetCurrentContext()->fillRect({0, 0, 4, 4});
        }
    };
    auto view = std::make_shared<Failing>(cg::Rect{0, 0, 10, 10});
    EXPECT_THROW(DisplayCycle::display(*view->layer()), std::runtime_error);
    EXPECT_EQ(GraphicsGetCurrentContext(), nullptr);
    view->fails = false;
    view->setNeedsDisplay();
    DisplayCycle::display(*view->layer());
    EXPECT_TRUE(view->layer()->contents());
    EXPECT_EQ(GraphicsGetCurrentContext(), nullptr);
}

TEST(View, ShapeLayersStrokeTheCoveredPartOfTheirPath) {
    test::UIHarness harness({0, 0, 100, 100}, 1);
    auto ring = ShapeLayer::layer();
    ring->setFrame({0, 0, 100, 100});
    cg::Path circle;
    circle.addArc({50, 50}, 30, -M_PI / 2, 3 * M_PI / 2, false);  // from the top, clockwise on screen
    ring->setPath(circle);
    ring->setFillColor(std::nullopt);
    ring->setStrokeColor(cg::Color::rgb(1, 1, 1, 1));
    ring->setLineWidth(6);
    ring->setStrokeEnd(0.25);
    harness.root->view()->layer()->addSublayer(ring);
    auto context = cg::BitmapContext::createForImage({100, 100}, false, 1);
    harness.window->layer()->renderInContext(*context);
    auto image = context->makeImage();
    EXPECT_EQ(image->pixel(71, 29).a, 255);  // on the first quarter, top to right
    EXPECT_EQ(image->pixel(29, 71).a, 0);    // the rest is not stroked
    EXPECT_EQ(image->pixel(50, 50).a, 0);    // nor filled
    // The trimmed path of a square keeps the corners it passes.
    cg::Path square;
    square.addRect({0, 0, 10, 10});
    const cg::Path half = ShapeLayer::trimmedPath(square, 0, 0.5);
    EXPECT_EQ(half.currentPoint(), (std::optional<cg::Point>{cg::Point{10, 10}}));
    EXPECT_TRUE(ShapeLayer::trimmedPath(square, 0.6, 0.4).isEmpty());
}

TEST(View, SettingTheFrameIsAnnouncedToObserversOfFrame) {
    auto view = std::make_shared<View>(cg::Rect{0, 0, 10, 10});
    int heard = 0;
    cg::Rect seen;
    auto observation = view->addObserver("frame", 0, [&](const ql::ns::KeyValueChange& change) {
        EXPECT_EQ(change.keyPath, "frame");
        seen = view->frame();
        ++heard;
    });
    view->setFrame({1, 2, 3, 4});
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(seen, (cg::Rect{1, 2, 3, 4})) << "told after the change";
    observation.invalidate();
    view->setFrame({0, 0, 5, 5});
    EXPECT_EQ(heard, 1);
}
