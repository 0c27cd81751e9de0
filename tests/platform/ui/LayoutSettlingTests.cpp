#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/device/Device.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

using namespace ql;
using namespace ql::ui;

namespace {

using A = LayoutAttribute;
using R = LayoutRelation;
using ViewPtr = std::shared_ptr<View>;

void relate(const ViewPtr& a, A attribute, const ViewPtr& b, A other, double multiplier, double constant) {
    LayoutConstraint::constraintWithItem(a, attribute, R::Equal, b, other, multiplier, constant)->setActive(true);
}

template <class T>
std::shared_ptr<T> constrained(const ViewPtr& parent) {
    auto view = std::make_shared<T>();
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent->addSubview(view);
    return view;
}

struct CountingController : ViewController {
    int layouts = 0;
    void viewDidLayoutSubviews() override { ++layouts; }
};

// A window on the device's screen holding the tree the builder makes in its root view.
struct Screenful {
    explicit Screenful(const std::function<void(const ViewPtr&)>& build) {
        window = std::make_shared<Window>(Screen::mainScreen().bounds());
        controller = std::make_shared<CountingController>();
        window->setRootViewController(controller);
        window->makeKeyAndVisible();
        build(controller->view());
    }
    ~Screenful() { window->setHidden(true); }
    std::shared_ptr<Window> window;
    std::shared_ptr<CountingController> controller;
};

}  // namespace

TEST(LayoutSettling, ConstantsOffThePixelGridSettle) {
    for (const auto& profile : {sim::ScreenProfile::phone320x480(), sim::ScreenProfile::phone320x568(),
                                sim::ScreenProfile::phone375x667(), sim::ScreenProfile::phone414x736()}) {
        sim::Device device(profile);
        const double width = profile.portraitSize.width;
        ViewPtr box;
        std::shared_ptr<Label> note;
        std::shared_ptr<TextField> field;
        Screenful screen([&](const ViewPtr& content) {
            // Constants scaled from a 375-point design, as the app's screens did before rounding them.
            const double k = width / 375;
            box = constrained<View>(content);
            relate(box, A::Left, content, A::Left, 1, 12.3 * k);
            relate(box, A::Width, content, A::Width, 1.0 / 3, 7.77 * k);
            relate(box, A::Top, content, A::Top, 1, 64.1 * k);
            relate(box, A::Height, nullptr, A::NotAnAttribute, 1, 33.3 * k);
            note = constrained<Label>(content);
            note->setNumberOfLines(0);
            note->setText("Words enough to wrap on a narrow phone, so the height follows the width given.");
            relate(note, A::Left, box, A::Right, 1, 10.1 * k);
            relate(note, A::Right, content, A::Right, 1, -12.3 * k);
            relate(note, A::Top, box, A::Bottom, 1, 8.35 * k);
            field = constrained<TextField>(content);
            field->setPlaceholder("Name");
            relate(field, A::CenterX, content, A::CenterX, 1, 0.3 * k);
            relate(field, A::Width, content, A::Width, 0.71, 0);
            relate(field, A::Top, note, A::Bottom, 1, 15.7 * k);
        });
        screen.window->layoutIfNeeded();
        // Once laid out, a pass that places every view where it already is asks for no other.
        const int layouts = screen.controller->layouts;
        for (int pass = 0; pass < 3; ++pass) screen.window->layoutIfNeeded();
        ASSERT_EQ(screen.controller->layouts, layouts) << "on a screen " << width << " wide";
        EXPECT_NEAR(box->frame().origin.x, 12.3 * width / 375, 1e-6);
        EXPECT_NEAR(cg::minY(note->frame()), cg::maxY(box->frame()) + 8.35 * width / 375, 1e-6);
        EXPECT_NEAR(field->frame().size.width, 0.71 * width, 1e-6);
        // Running the display cycles comes to an end.
        EXPECT_TRUE(device.runUntilIdle());
    }
}
