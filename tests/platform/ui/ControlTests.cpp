#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/Toolbar.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

struct Target : ns::Object {
    std::vector<std::string> heard;
    void down(ns::Object*) { heard.push_back("down"); }
    void upInside(Button* sender) { heard.push_back(sender ? "upInside " + std::to_string(sender->tag()) : "upInside ?"); }
    void upOutside(ns::Object*) { heard.push_back("upOutside"); }
    void exit(ns::Object*) { heard.push_back("exit"); }
    void changed(ns::Object*) { heard.push_back("changed"); }
    void bar(BarButtonItem* item) { heard.push_back("bar " + item->title().value_or("")); }
};

}  // namespace

TEST(Control, TargetsAndActionsFollowTheTouch) {
    test::UIHarness harness;
    auto target = std::make_shared<Target>();
    auto button = std::make_shared<Button>(cg::Rect{20, 20, 100, 40});
    button->setTag(7);
    harness.root->view()->addSubview(button);
    button->addTarget(target, Action(&Target::down), ControlEventTouchDown);
    button->addTarget(target, Action(&Target::upInside), ControlEventTouchUpInside);
    button->addTarget(target, Action(&Target::upOutside), ControlEventTouchUpOutside);
    button->addTarget(target, Action(&Target::exit), ControlEventTouchDragExit);
    EXPECT_EQ(button->allControlEvents(), ControlEventTouchDown | ControlEventTouchUpInside | ControlEventTouchUpOutside |
                                              ControlEventTouchDragExit);

    auto finger = harness.fingers.down({70, 40});
    EXPECT_TRUE(button->isHighlighted());
    EXPECT_EQ(button->state(), unsigned(ControlStateHighlighted));
    harness.fingers.up(finger);
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(target->heard, (std::vector<std::string>{"down", "upInside 7"}));

    // Dragged far away (beyond the slop) and lifted there: up outside.
    target->heard.clear();
    finger = harness.fingers.down({70, 40});
    harness.fingers.move(finger, {70, 200});
    EXPECT_FALSE(button->isHighlighted());
    harness.fingers.up(finger);
    EXPECT_EQ(target->heard, (std::vector<std::string>{"down", "exit", "upOutside"}));

    // A disabled button swallows the touch and sends nothing.
    target->heard.clear();
    button->setEnabled(false);
    EXPECT_TRUE(harness.fingers.tap(*button));
    EXPECT_TRUE(target->heard.empty());
    button->setEnabled(true);

    // Removing the action for one event leaves the others; sendActionsForControlEvents sends by hand.
    button->removeTarget(target.get(), Action(&Target::down), ControlEventTouchDown);
    EXPECT_TRUE(harness.fingers.tap(*button));
    EXPECT_EQ(target->heard, (std::vector<std::string>{"upInside 7"}));
    button->sendActionsForControlEvents(ControlEventTouchUpOutside);
    EXPECT_EQ(target->heard.back(), "upOutside");
    // A target that is gone is skipped.
    target.reset();
    EXPECT_TRUE(harness.fingers.tap(*button));
}

TEST(Control, SwitchSegmentsPagesAndBarItems) {
    test::UIHarness harness;
    auto target = std::make_shared<Target>();

    auto toggle = std::make_shared<Switch>(cg::Rect{10, 10, 999, 999});
    EXPECT_EQ(toggle->frame().size, Switch::kSize);
    toggle->addTarget(target, Action(&Target::changed), ControlEventValueChanged);
    harness.root->view()->addSubview(toggle);
    ASSERT_TRUE(harness.fingers.tap(*toggle));
    EXPECT_TRUE(toggle->isOn());
    toggle->setOn(false);
    EXPECT_EQ(target->heard, (std::vector<std::string>{"changed"}));

    // A momentary segmented control runs its action and lets go of the selection.
    target->heard.clear();
    auto segments = std::make_shared<SegmentedControl>(std::vector<SegmentedControl::Item>{std::string("Previous"),
                                                                                           std::string("Next")});
    segments->setFrame({10, 100, 200, 29});
    segments->setMomentary(true);
    struct Reader : ns::Object {
        std::vector<std::int64_t> seen;
        void read(SegmentedControl* control) { seen.push_back(control->selectedSegmentIndex()); }
    };
    auto reader = std::make_shared<Reader>();
    segments->addTarget(reader, Action(&Reader::read), ControlEventValueChanged);
    harness.root->view()->addSubview(segments);
    ASSERT_TRUE(harness.fingers.tap({160, 110}));
    EXPECT_EQ(reader->seen, (std::vector<std::int64_t>{1}));
    EXPECT_EQ(segments->selectedSegmentIndex(), SegmentedControlNoSegment);
    segments->setEnabled(false, 0);
    ASSERT_TRUE(harness.fingers.tap({60, 110}));
    EXPECT_EQ(reader->seen.size(), 1u);
    segments->setMomentary(false);
    ASSERT_TRUE(harness.fingers.tap({160, 110}));
    ASSERT_TRUE(harness.fingers.tap({160, 110}));  // the selected segment again: no change
    EXPECT_EQ(reader->seen, (std::vector<std::int64_t>{1, 1}));
    EXPECT_EQ(segments->selectedSegmentIndex(), 1);

    // A page control moves one page towards the tapped half.
    auto pages = std::make_shared<PageControl>(cg::Rect{0, 200, 320, 37});
    pages->setNumberOfPages(3);
    pages->addTarget(target, Action(&Target::changed), ControlEventValueChanged);
    harness.root->view()->addSubview(pages);
    ASSERT_TRUE(harness.fingers.tap({300, 210}));
    ASSERT_TRUE(harness.fingers.tap({300, 210}));
    ASSERT_TRUE(harness.fingers.tap({300, 210}));
    EXPECT_EQ(pages->currentPage(), 2);
    EXPECT_EQ(target->heard.size(), 2u);
    EXPECT_EQ(pages->sizeForNumberOfPages(3).width, 3 * 7 + 2 * 9);

    // Bar button items on a toolbar: spaces share the room, a tap sends the item's action.
    target->heard.clear();
    auto toolbar = std::make_shared<Toolbar>(cg::Rect{0, 300, 320, 44});
    auto done = std::make_shared<BarButtonItem>(BarButtonSystemItem::Done, target, Action(&Target::bar));
    auto fixed = std::make_shared<BarButtonItem>(BarButtonSystemItem::FixedSpace, std::weak_ptr<ns::Object>(), Action());
    fixed->setWidth(23);
    auto custom = std::make_shared<View>(cg::Rect{0, 0, 100, 44});
    toolbar->setItems({std::make_shared<BarButtonItem>(custom), fixed,
                       std::make_shared<BarButtonItem>(BarButtonSystemItem::FlexibleSpace, std::weak_ptr<ns::Object>(), Action()),
                       done});
    harness.root->view()->addSubview(toolbar);
    harness.settle();
    EXPECT_EQ(custom->frame().origin.x, Toolbar::kEdgeMargin);
    auto views = toolbar->itemViews();
    ASSERT_EQ(views.size(), 2u);
    EXPECT_DOUBLE_EQ(cg::maxX(views[1]->frame()), 320 - Toolbar::kEdgeMargin);
    ASSERT_TRUE(harness.fingers.tap(*views[1]));
    EXPECT_EQ(target->heard, (std::vector<std::string>{"bar Done"}));
    done->setEnabled(false);
    harness.settle();
    ASSERT_TRUE(harness.fingers.tap(*toolbar->itemViews()[1]));
    EXPECT_EQ(target->heard.size(), 1u);
}
