#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/View.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

using A = LayoutAttribute;
using R = LayoutRelation;
using ViewPtr = std::shared_ptr<View>;
using ConstraintPtr = std::shared_ptr<LayoutConstraint>;

ConstraintPtr relate(const ViewPtr& a, A attribute, R relation, const ViewPtr& b, A other, double multiplier = 1,
                     double constant = 0, LayoutPriority priority = LayoutPriorityRequired) {
    auto c = LayoutConstraint::constraintWithItem(a, attribute, relation, b, other, multiplier, constant);
    c->setPriority(priority);
    c->setActive(true);
    return c;
}

ConstraintPtr equal(const ViewPtr& a, A attribute, const ViewPtr& b, A other, double constant = 0) {
    return relate(a, attribute, R::Equal, b, other, 1, constant);
}

ConstraintPtr fix(const ViewPtr& a, A attribute, R relation, double constant,
                  LayoutPriority priority = LayoutPriorityRequired) {
    return relate(a, attribute, relation, nullptr, A::NotAnAttribute, 1, constant, priority);
}

template <class T = View>
std::shared_ptr<T> constrained(const ViewPtr& parent) {
    auto view = std::make_shared<T>();
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent->addSubview(view);
    return view;
}

void expectFrame(const ViewPtr& view, double x, double y, double w, double h) {
    const cg::Rect f = view->frame();
    EXPECT_NEAR(f.origin.x, x, 1e-6);
    EXPECT_NEAR(f.origin.y, y, 1e-6);
    EXPECT_NEAR(f.size.width, w, 1e-6);
    EXPECT_NEAR(f.size.height, h, 1e-6);
}

// What the action logged, each line followed by a line end.
std::string capturedLog(const std::function<void()>& action) {
    ns::Log::Capture log;
    action();
    std::string text;
    for (const auto& line : log.lines()) text += line + "\n";
    return text;
}

TEST(Layout, StackedViewsFollowTheirContainer) {
    auto container = std::make_shared<View>(cg::Rect{0, 0, 320, 480});
    std::vector<ViewPtr> rows;
    for (double height : {40, 50, 60}) {
        auto row = constrained(container);
        equal(row, A::Left, container, A::Left, 10);
        equal(row, A::Right, container, A::Right, -10);
        fix(row, A::Height, R::Equal, height);
        equal(row, A::Top, rows.empty() ? container : rows.back(), rows.empty() ? A::Top : A::Bottom,
              rows.empty() ? 20 : 8);
        rows.push_back(row);
    }
    // A view inside a row is placed in the row's coordinates.
    auto inner = constrained(rows[1]);
    equal(inner, A::Leading, rows[1], A::Leading, 4);
    equal(inner, A::Trailing, rows[1], A::Trailing, -4);
    equal(inner, A::Top, rows[1], A::Top, 5);
    equal(inner, A::Bottom, rows[1], A::Bottom, -5);

    container->layoutIfNeeded();
    expectFrame(rows[0], 10, 20, 300, 40);
    expectFrame(rows[1], 10, 68, 300, 50);
    expectFrame(rows[2], 10, 126, 300, 60);
    expectFrame(inner, 4, 5, 292, 40);

    container->setFrame({0, 0, 200, 480});
    container->layoutIfNeeded();
    expectFrame(rows[2], 10, 126, 180, 60);
    expectFrame(inner, 4, 5, 172, 40);
}

TEST(Layout, CentredViewsTakeTheirIntrinsicSize) {
    auto root = std::make_shared<View>(cg::Rect{0, 0, 320, 480});
    auto box = constrained(root);
    fix(box, A::Width, R::Equal, 100);
    fix(box, A::Height, R::Equal, 50);
    equal(box, A::CenterX, root, A::CenterX);
    equal(box, A::CenterY, root, A::CenterY);
    // A frame-placed view, and an indicator centred in it with no size of its own given.
    auto panel = std::make_shared<View>(cg::Rect{40, 60, 200, 100});
    root->addSubview(panel);
    auto spinner = constrained<ActivityIndicatorView>(panel);
    equal(spinner, A::CenterX, panel, A::CenterX);
    equal(spinner, A::CenterY, panel, A::CenterY);

    root->layoutIfNeeded();
    expectFrame(box, 110, 215, 100, 50);
    const cg::Size spin = spinner->intrinsicContentSize();
    expectFrame(spinner, 100 - spin.width / 2, 50 - spin.height / 2, spin.width, spin.height);
    expectFrame(panel, 40, 60, 200, 100);

    // The panel resizes with its autoresizing mask and the indicator stays centred in it.
    panel->setAutoresizingMask(ViewAutoresizingFlexibleWidth);
    root->setFrame({0, 0, 420, 480});
    root->layoutIfNeeded();
    expectFrame(panel, 40, 60, 300, 100);
    expectFrame(spinner, 150 - spin.width / 2, 50 - spin.height / 2, spin.width, spin.height);
}

TEST(Layout, ProportionsAreReadInTheContainersCoordinates) {
    auto root = std::make_shared<View>(cg::Rect{0, 0, 500, 500});
    auto container = std::make_shared<View>(cg::Rect{50, 30, 320, 400});
    root->addSubview(container);
    auto half = constrained(container);
    relate(half, A::Width, R::Equal, container, A::Width, 0.5);
    relate(half, A::Height, R::Equal, half, A::Width, 0.25);
    relate(half, A::Left, R::Equal, container, A::Right, 0.25);
    equal(half, A::Top, container, A::Top);
    // Three views of one width with gaps of 10 and 5 at either end.
    std::vector<ViewPtr> cells;
    for (int i = 0; i < 3; ++i) {
        auto cell = constrained(container);
        equal(cell, A::Bottom, container, A::Bottom);
        fix(cell, A::Height, R::Equal, 20);
        if (cells.empty()) {
            equal(cell, A::Left, container, A::Left, 5);
        } else {
            equal(cell, A::Width, cells.front(), A::Width);
            equal(cell, A::Left, cells.back(), A::Right, 10);
        }
        cells.push_back(cell);
    }
    equal(cells.back(), A::Right, container, A::Right, -5);

    root->layoutIfNeeded();
    expectFrame(half, 80, 0, 160, 40);
    const double width = (320 - 5 - 5 - 20) / 3.0;
    expectFrame(cells[0], 5, 380, width, 20);
    expectFrame(cells[1], 5 + width + 10, 380, width, 20);
    expectFrame(cells[2], 5 + 2 * (width + 10), 380, width, 20);
}

TEST(Layout, PrioritiesAndInequalities) {
    auto root = std::make_shared<View>(cg::Rect{0, 0, 320, 100});
    auto view = constrained(root);
    equal(view, A::Top, root, A::Top);
    fix(view, A::Height, R::Equal, 10);
    relate(view, A::Left, R::GreaterThanOrEqual, root, A::Left, 1, 20);
    relate(view, A::Right, R::LessThanOrEqual, root, A::Right, 1, -20);
    fix(view, A::Left, R::Equal, 0, 100);  // as far left as allowed
    auto wish = fix(view, A::Width, R::Equal, 400, 500);
    root->layoutIfNeeded();
    expectFrame(view, 20, 0, 280, 10);

    // A weak wish yields to a stronger one, which yields to a required constraint.
    auto cap = fix(view, A::Width, R::LessThanOrEqual, 200, LayoutPriorityDefaultHigh);
    root->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(view->frame().size.width, 200);
    auto floor = fix(view, A::Width, R::GreaterThanOrEqual, 250);
    root->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(view->frame().size.width, 250);
    floor->setActive(false);
    wish->setPriority(800);
    root->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(view->frame().size.width, 280);

    root->setFrame({0, 0, 600, 100});
    root->layoutIfNeeded();
    expectFrame(view, 20, 0, 400, 10);

    EXPECT_THROW(wish->setPriority(LayoutPriorityRequired), ns::Exception);
    EXPECT_THROW(cap->setPriority(0), ns::Exception);
    EXPECT_THROW(cap->setPriority(1001), ns::Exception);
}

TEST(Layout, ConstantEditsMoveViewsAtOnce) {
    auto root = std::make_shared<View>(cg::Rect{0, 0, 320, 480});
    auto top = constrained(root);
    auto below = constrained(root);
    for (const auto& v : {top, below}) {
        equal(v, A::Left, root, A::Left);
        equal(v, A::Width, root, A::Width);
    }
    equal(top, A::Top, root, A::Top);
    auto height = fix(top, A::Height, R::Equal, 40);
    auto gap = equal(below, A::Top, top, A::Bottom, 8);
    fix(below, A::Height, R::Equal, 30);
    root->layoutIfNeeded();
    expectFrame(below, 0, 48, 320, 30);
    EXPECT_FALSE(root->needsLayout());

    // The tree is solved when the constant changes; the next pass only places the views.
    height->setConstant(60);
    EXPECT_TRUE(root->needsLayout());
    gap->setConstant(12);
    root->layoutIfNeeded();
    expectFrame(top, 0, 0, 320, 60);
    expectFrame(below, 0, 72, 320, 30);

    // An inactive constraint keeps its constant until it is active again.
    gap->setActive(false);
    gap->setConstant(0);
    gap->setActive(true);
    root->layoutIfNeeded();
    expectFrame(below, 0, 60, 320, 30);
}

TEST(Layout, ContradictionsAreLoggedAndOneIsBroken) {
    auto root = std::make_shared<View>(cg::Rect{0, 0, 320, 480});
    auto view = constrained(root);
    equal(view, A::Left, root, A::Left);
    equal(view, A::Top, root, A::Top);
    fix(view, A::Height, R::Equal, 10);
    auto narrow = fix(view, A::Width, R::Equal, 100);
    auto wide = fix(view, A::Width, R::Equal, 150);
    wide->setIdentifier("wide");
    const std::string log = capturedLog([&] { root->layoutIfNeeded(); });
    EXPECT_NE(log.find("Unable to simultaneously satisfy constraints."), std::string::npos) << log;
    EXPECT_NE(log.find("\"" + narrow->description() + "\""), std::string::npos) << log;
    EXPECT_NE(log.find("Will attempt to recover by breaking constraint \n" + wide->description()), std::string::npos)
        << log;
    EXPECT_DOUBLE_EQ(view->frame().size.width, 100);
    // The log speaks with the descriptions in force.
    LayoutConstraint::setDescriptionOverride([](const LayoutConstraint& c) { return "<width " + std::to_string(int(c.constant())) + ">"; });
    wide->setConstant(160);
    const std::string again = capturedLog([&] { root->layoutIfNeeded(); });
    LayoutConstraint::setDescriptionOverride({});
    EXPECT_NE(again.find("\"<width 100>\",\n    \"<width 160>\""), std::string::npos) << again;

    // Once the obstacle goes, the broken constraint holds, without another report.
    narrow->setActive(false);
    EXPECT_EQ(capturedLog([&] { root->layoutIfNeeded(); }), "");
    EXPECT_DOUBLE_EQ(view->frame().size.width, 160);
    // A held constraint whose new constant contradicts the others is broken in turn.
    auto least = fix(view, A::Width, R::GreaterThanOrEqual, 120);
    root->layoutIfNeeded();
    const std::string moved = capturedLog([&] { wide->setConstant(90); });
    EXPECT_NE(moved.find("\"" + least->description() + "\""), std::string::npos) << moved;
    EXPECT_NE(moved.find("breaking constraint \n" + wide->description()), std::string::npos) << moved;
    root->layoutIfNeeded();
    EXPECT_GE(view->frame().size.width, 120);

    // A frame-placed view keeps its frame against a required constraint and says why.
    auto placed = std::make_shared<View>(cg::Rect{0, 0, 50, 50});
    root->addSubview(placed);
    fix(placed, A::Width, R::Equal, 80);
    EXPECT_NE(capturedLog([&] { root->layoutIfNeeded(); }).find("<NSAutoresizingMaskLayoutConstraint:"),
              std::string::npos);
    EXPECT_DOUBLE_EQ(placed->frame().size.width, 50);
}

TEST(Layout, HuggingAndCompressionResistanceShareTheWidth) {
    auto root = std::make_shared<View>(cg::Rect{0, 0, 200, 100});
    auto first = constrained<Label>(root);
    auto second = constrained<Label>(root);
    first->setText("One");
    second->setText("Two");
    equal(first, A::Left, root, A::Left);
    equal(second, A::Left, first, A::Right, 8);
    equal(second, A::Right, root, A::Right);
    equal(first, A::Top, root, A::Top);
    equal(second, A::Top, root, A::Top);

    // Too much room: the view that hugs less grows.
    first->setContentHuggingPriority(251, LayoutConstraintAxis::Horizontal);
    root->layoutIfNeeded();
    const cg::Size one = first->intrinsicContentSize();
    expectFrame(first, 0, 0, one.width, one.height);
    EXPECT_DOUBLE_EQ(second->frame().size.width, 200 - 8 - one.width);

    // Too little: the view that resists less gives way. A new text is measured anew.
    first->setText("Longer first text");
    second->setText("And a long second one");
    second->setContentCompressionResistancePriority(749, LayoutConstraintAxis::Horizontal);
    root->layoutIfNeeded();
    const double wanted = first->intrinsicContentSize().width;
    ASSERT_LT(wanted, 192);
    EXPECT_DOUBLE_EQ(first->frame().size.width, wanted);
    EXPECT_DOUBLE_EQ(second->frame().size.width, 192 - wanted);
    EXPECT_EQ(second->contentHuggingPriorityForAxis(LayoutConstraintAxis::Horizontal), LayoutPriorityDefaultLow);

    // A button stands at its own size.
    auto button = constrained<Button>(root);
    button->setTitle("Tap", ControlStateNormal);
    equal(button, A::CenterX, root, A::CenterX);
    equal(button, A::Bottom, root, A::Bottom);
    root->layoutIfNeeded();
    const cg::Size tap = button->intrinsicContentSize();
    expectFrame(button, 100 - tap.width / 2, 100 - tap.height, tap.width, tap.height);
}

TEST(Layout, FittingSizeOfWrappingText) {
    auto content = std::make_shared<View>();
    content->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto label = constrained<Label>(content);
    label->setNumberOfLines(0);
    label->setText("A label whose text is long enough to need several lines in a narrow column of a table.");
    equal(label, A::Left, content, A::Left, 10);
    equal(label, A::Right, content, A::Right, -10);
    equal(label, A::Top, content, A::Top, 10);
    equal(label, A::Bottom, content, A::Bottom, -10);
    const double line = label->font()->lineHeight();

    // One line as wide as it likes when nothing limits the width.
    const cg::Size single = content->systemLayoutSizeFittingSize(LayoutFittingCompressedSize);
    EXPECT_DOUBLE_EQ(single.width, label->intrinsicContentSize().width + 20);
    EXPECT_DOUBLE_EQ(single.height, label->intrinsicContentSize().height + 20);

    // In a fixed width the text wraps and the height follows, as a cell height cache measures it.
    auto width = fix(content, A::Width, R::Equal, 200);
    const cg::Size fitted = content->systemLayoutSizeFittingSize(LayoutFittingCompressedSize);
    EXPECT_DOUBLE_EQ(fitted.width, 200);
    EXPECT_DOUBLE_EQ(fitted.height, label->sizeThatFits({180, 0}).height + 20);
    EXPECT_GT(fitted.height, 3 * line + 20 - 1);
    content->removeConstraint(width);

    // The same with the width given as a required fitting priority.
    const cg::Size wider = content->systemLayoutSizeFittingSize({300, 0}, LayoutPriorityRequired,
                                                                LayoutPriorityFittingSizeLevel);
    EXPECT_DOUBLE_EQ(wider.width, 300);
    EXPECT_DOUBLE_EQ(wider.height, label->sizeThatFits({280, 0}).height + 20);
    EXPECT_LT(wider.height, fitted.height);
    // Measuring leaves the views where they were.
    EXPECT_EQ(label->frame(), cg::Rect::zero());
}

class Updating : public View {
public:
    explicit Updating(std::vector<std::string>* log, std::string name) : log_(log), name_(std::move(name)) {}
    std::function<void()> onUpdate;
    void updateConstraints() override {
        log_->push_back(name_);
        if (onUpdate) onUpdate();
        View::updateConstraints();
    }

private:
    std::vector<std::string>* log_;
    std::string name_;
};

TEST(Layout, UpdatePassRunsBeforeLayoutSubviewsFirst) {
    std::vector<std::string> log;
    auto root = std::make_shared<View>(cg::Rect{0, 0, 100, 100});
    auto outer = std::make_shared<Updating>(&log, "outer");
    outer->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(outer);
    auto inner = std::make_shared<Updating>(&log, "inner");
    outer->addSubview(inner);
    outer->onUpdate = [&] {
        if (outer->constraints().empty()) {
            fix(outer, A::Width, R::Equal, 30);
            fix(outer, A::Height, R::Equal, 40);
        }
    };
    outer->setNeedsUpdateConstraints();
    inner->setNeedsUpdateConstraints();
    EXPECT_TRUE(inner->needsUpdateConstraints());
    root->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<std::string>{"inner", "outer"}));
    EXPECT_FALSE(outer->needsUpdateConstraints());
    expectFrame(outer, 0, 0, 30, 40);
    root->layoutIfNeeded();
    EXPECT_EQ(log.size(), 2u);
}

TEST(Layout, ActivationFindsTheHolderAndBadPairsAreRefused) {
    auto root = std::make_shared<View>(cg::Rect{0, 0, 100, 100});
    auto a = constrained(root);
    auto b = constrained(root);
    auto child = constrained(a);
    auto siblings = equal(a, A::Left, b, A::Left);
    auto toParent = equal(child, A::Top, a, A::Top);
    auto alone = fix(child, A::Width, R::Equal, 5);
    EXPECT_EQ(root->constraints(), std::vector<ConstraintPtr>{siblings});
    EXPECT_EQ(a->constraints(), std::vector<ConstraintPtr>{toParent});
    EXPECT_EQ(child->constraints(), std::vector<ConstraintPtr>{alone});
    LayoutConstraint::deactivateConstraints({siblings, alone});
    EXPECT_FALSE(siblings->isActive());
    EXPECT_TRUE(child->constraints().empty());
    root->addConstraint(alone);
    EXPECT_TRUE(alone->isActive());

    auto stranger = std::make_shared<View>();
    auto apart = LayoutConstraint::constraintWithItem(a, A::Left, R::Equal, stranger, A::Left, 1, 0);
    try {
        apart->setActive(true);
        FAIL() << "activated without a common ancestor";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "NSGenericException");
    }
    for (auto [first, second] : {std::pair{A::Left, A::Top}, {A::Left, A::Width}, {A::Leading, A::Left},
                                 {A::CenterY, A::NotAnAttribute}}) {
        EXPECT_THROW(LayoutConstraint::constraintWithItem(a, first, R::Equal, b, second, 1, 0), ns::Exception);
    }
    EXPECT_THROW(LayoutConstraint::constraintWithItem(nullptr, A::Width, R::Equal, nullptr, A::NotAnAttribute, 1, 0),
                 ns::Exception);
    // Sizes of the two axes may be related: an aspect ratio.
    EXPECT_NO_THROW(LayoutConstraint::constraintWithItem(a, A::Width, R::Equal, a, A::Height, 2, 0));

    const auto described = LayoutConstraint::constraintWithItem(a, A::Trailing, R::LessThanOrEqual, b,
                                                                A::CenterXWithinMargins, 0.5, -8);
    described->setPriority(750);
    EXPECT_EQ(described->description(), "<NSLayoutConstraint:" + ns::addressText(described.get()) + " UIView:" +
                                            ns::addressText(a.get()) + ".trailing <= 0.5*UIView:" +
                                            ns::addressText(b.get()) + ".centerXWithinMargins - 8 @750>");
}

TEST(Layout, RemovingAViewDropsTheConstraintsItLeavesBehind) {
    auto root = std::make_shared<View>(cg::Rect{0, 0, 320, 480});
    auto v = constrained(root);
    auto inner = constrained(v);
    auto other = constrained(root);
    auto left = equal(v, A::Left, root, A::Left, 10);
    equal(v, A::Top, root, A::Top, 20);
    auto width = fix(v, A::Width, R::Equal, 100);
    fix(v, A::Height, R::Equal, 50);
    // Held by the root, naming a view inside the one removed.
    auto innerToOther = equal(inner, A::Top, other, A::Top);
    // Held inside the removed tree: it goes along.
    auto innerToV = equal(inner, A::Left, v, A::Left, 5);
    auto otherAlone = equal(other, A::Left, root, A::Left, 7);
    root->layoutIfNeeded();
    expectFrame(v, 10, 20, 100, 50);

    v->removeFromSuperview();
    EXPECT_FALSE(left->isActive());
    EXPECT_FALSE(innerToOther->isActive());
    EXPECT_TRUE(width->isActive());
    EXPECT_TRUE(innerToV->isActive());
    EXPECT_TRUE(otherAlone->isActive());
    EXPECT_EQ(root->constraints(), std::vector<ConstraintPtr>{otherAlone});

    root->addSubview(v);
    equal(v, A::Left, root, A::Left, 50);
    equal(v, A::Top, root, A::Top, 20);
    const std::string log = capturedLog([&] { root->layoutIfNeeded(); });
    EXPECT_EQ(log.find("Unable to simultaneously satisfy"), std::string::npos) << log;
    expectFrame(v, 50, 20, 100, 50);
    EXPECT_NEAR(inner->frame().origin.x, 5, 1e-6);

    // Moved within the tree, a view keeps the constraints whose items still share their holder.
    auto box = constrained(root);
    auto toBox = equal(v, A::Width, box, A::Width);
    auto vToRoot = root->constraints();
    box->addSubview(v);
    EXPECT_TRUE(toBox->isActive());
    for (const auto& constraint : vToRoot) EXPECT_TRUE(constraint->isActive()) << constraint->description();
    // Moved into another tree, it loses them.
    auto elsewhere = std::make_shared<View>();
    elsewhere->addSubview(v);
    EXPECT_FALSE(toBox->isActive());
    EXPECT_TRUE(width->isActive());
}

TEST(Layout, MarginsAndBaselines) {
    auto root = std::make_shared<View>(cg::Rect{0, 0, 300, 200});
    root->setLayoutMargins({10, 20, 30, 40});
    auto box = constrained(root);
    equal(box, A::Leading, root, A::LeadingMargin);
    equal(box, A::Trailing, root, A::TrailingMargin);
    equal(box, A::Top, root, A::TopMargin);
    equal(box, A::Bottom, root, A::BottomMargin);
    // Two labels of different fonts sitting on one baseline.
    auto small = constrained<Label>(root);
    auto big = constrained<Label>(root);
    small->setText("small");
    big->setText("Big");
    big->setFont(Font::systemFontOfSize(30));
    equal(small, A::Left, root, A::Left);
    equal(big, A::Left, small, A::Right, 4);
    equal(big, A::Top, root, A::Top);
    equal(small, A::LastBaseline, big, A::LastBaseline);

    root->layoutIfNeeded();
    expectFrame(box, 20, 10, 240, 160);
    const double bigBaseline = big->frame().origin.y + big->font()->ascender();
    const double smallBaseline = small->frame().origin.y + small->font()->ascender();
    EXPECT_NEAR(smallBaseline, bigBaseline, 1e-6);
}

TEST(Layout, DisplayCycleOfAWindowSolvesConstraints) {
    test::UIHarness ui;
    const ViewPtr content = ui.root->view();
    auto label = constrained<Label>(content);
    label->setText("Centred");
    equal(label, A::CenterX, content, A::CenterX);
    auto offset = equal(label, A::CenterY, content, A::CenterY);
    ui.settle();
    const cg::Size size = label->intrinsicContentSize();
    expectFrame(label, 160 - size.width / 2, 240 - size.height / 2, size.width, size.height);
    // Inside an animation block, as a tab bar moves its items.
    View::animate(0.2, [&] {
        offset->setConstant(-100);
        content->layoutIfNeeded();
    });
    expectFrame(label, 160 - size.width / 2, 140 - size.height / 2, size.width, size.height);
    ui.advance(0.3);

    // Text that wraps takes the height of its lines at the width the layout gives it.
    auto note = constrained<Label>(content);
    note->setNumberOfLines(0);
    note->setText("Several words that cannot all stand on one line of a narrow screen, however small they are.");
    equal(note, A::Left, content, A::Left, 20);
    equal(note, A::Right, content, A::Right, -20);
    equal(note, A::Top, content, A::Top, 30);
    ui.settle();
    expectFrame(note, 20, 30, 280, note->sizeThatFits({280, 0}).height);
    EXPECT_GT(note->frame().size.height, 2 * note->font()->lineHeight());
}

}  // namespace
