#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/NavigationController.h"
#include "tests/support/UIHarness.h"
#include "ui/layout/LCCompositeConstraint.h"
#include "ui/layout/LCDebugAdditions.h"
#include "ui/layout/LCViewAdditions.h"
#include "ui/layout/LCViewConstraint.h"

using namespace ql;
using namespace ql::ui;

namespace {

using A = LayoutAttribute;
using ViewPtr = std::shared_ptr<View>;

struct Tree {
    ViewPtr root = std::make_shared<View>(cg::Rect{0, 0, 320, 480});
    ViewPtr container = std::make_shared<View>(cg::Rect{0, 0, 320, 200});
    ViewPtr view = std::make_shared<View>();
    Tree() {
        root->addSubview(container);
        root->addSubview(view);
    }
};

std::vector<std::shared_ptr<LCLayoutConstraint>> languageConstraints(const View& holder) {
    std::vector<std::shared_ptr<LCLayoutConstraint>> out;
    for (const auto& c : holder.constraints()) {
        if (auto lc = std::dynamic_pointer_cast<LCLayoutConstraint>(c)) out.push_back(lc);
    }
    return out;
}

void expectConstraint(const LayoutConstraint& c, const ViewPtr& first, A a1, const ViewPtr& second, A a2,
                      double constant, double multiplier = 1, float priority = 1000) {
    EXPECT_EQ(c.firstItem(), first);
    EXPECT_EQ(c.firstAttribute(), a1);
    EXPECT_EQ(c.secondItem(), second);
    EXPECT_EQ(c.secondAttribute(), a2);
    EXPECT_DOUBLE_EQ(c.constant(), constant);
    EXPECT_DOUBLE_EQ(c.multiplier(), multiplier);
    EXPECT_EQ(c.priority(), priority);
}

void expectFrame(const ViewPtr& view, double x, double y, double w, double h) {
    const cg::Rect f = view->frame();
    EXPECT_NEAR(f.origin.x, x, 1e-6);
    EXPECT_NEAR(f.origin.y, y, 1e-6);
    EXPECT_NEAR(f.size.width, w, 1e-6);
    EXPECT_NEAR(f.size.height, h, 1e-6);
}

}  // namespace

TEST(ConstraintLanguage, ChainsInstallTheRelationsOnTheRightView) {
    Tree t;
    const auto declared = lc_makeConstraints(t.view, [&](LCConstraintMaker& make) {
        make.left()->top()->right()->equalTo(t.container);
        make.height()->equalTo(64);
    });
    EXPECT_FALSE(t.view->translatesAutoresizingMaskIntoConstraints());
    ASSERT_EQ(declared.size(), 2u);
    auto group = std::dynamic_pointer_cast<LCCompositeConstraint>(declared[0]);
    ASSERT_TRUE(group);
    EXPECT_EQ(group->childConstraints().size(), 3u);

    // Siblings: the relations to the container go to their parent, the absolute height to the view.
    const auto onRoot = languageConstraints(*t.root);
    ASSERT_EQ(onRoot.size(), 3u);
    expectConstraint(*onRoot[0], t.view, A::Left, t.container, A::Left, 0);
    expectConstraint(*onRoot[1], t.view, A::Top, t.container, A::Top, 0);
    expectConstraint(*onRoot[2], t.view, A::Right, t.container, A::Right, 0);
    const auto onView = languageConstraints(*t.view);
    ASSERT_EQ(onView.size(), 1u);
    expectConstraint(*onView[0], t.view, A::Height, nullptr, A::NotAnAttribute, 64);
    EXPECT_EQ(LCViewConstraint::installedConstraintsForView(*t.view).size(), 4u);

    t.root->layoutIfNeeded();
    expectFrame(t.view, 0, 0, 320, 64);
}

TEST(ConstraintLanguage, ConstantsOffsetsAndPositionsRelativeToTheSuperview) {
    Tree t;
    auto inner = std::make_shared<View>();
    t.container->addSubview(inner);
    lc_makeConstraints(inner, [&](LCConstraintMaker& make) {
        make.left()->equalTo(10);  // left = superview.left + 10
        make.right()->equalTo(t.container)->offset(-10);
        make.top()->equalTo(lc_bottom(t.container))->offset(-50);
        make.height()->lc_equalTo(30.0f);
    });
    const auto onContainer = languageConstraints(*t.container);
    ASSERT_EQ(onContainer.size(), 3u);
    expectConstraint(*onContainer[0], inner, A::Left, t.container, A::Left, 10);
    expectConstraint(*onContainer[1], inner, A::Right, t.container, A::Right, -10);
    expectConstraint(*onContainer[2], inner, A::Top, t.container, A::Bottom, -50);
    t.root->layoutIfNeeded();
    expectFrame(inner, 10, 150, 300, 30);

    // An offset set after installation moves the view at the next pass.
    auto top = LCViewConstraint::installedConstraintsForView(*inner)[2];
    top->offset(-80);
    t.root->layoutIfNeeded();
    expectFrame(inner, 10, 120, 300, 30);
}

TEST(ConstraintLanguage, StructuredConstantsGoToTheMatchingAttributes) {
    Tree t;
    const auto edges = lc_makeConstraints(t.view, [&](LCConstraintMaker& make) {
        make.edges()->equalTo(t.container)->insets({1, 2, 3, 4});
        make.size()->equalTo(t.container)->sizeOffset({30, 40});
        make.center()->equalTo(t.container)->centerOffset({5, 6});
        make.width()->equalTo(t.container)->insets({9, 9, 9, 9});  // insets on a size: nothing
    });
    std::vector<double> constants;
    std::vector<A> attributes;
    for (const auto& c : languageConstraints(*t.root)) {
        constants.push_back(c->constant());
        attributes.push_back(c->firstAttribute());
    }
    EXPECT_EQ(attributes, (std::vector<A>{A::Left, A::Right, A::Top, A::Bottom, A::Width, A::Height, A::CenterX,
                                          A::CenterY, A::Width}));
    EXPECT_EQ(constants, (std::vector<double>{2, -4, 1, -3, 30, 40, 5, 6, 0}));

    // Boxed values reach the same places.
    auto v = std::make_shared<LCViewConstraint>(lc_width(t.view));
    v->valueOffset(GeometryValue::valueWithCGSize({7, 8}));
    EXPECT_EQ(v->layoutConstant(), 7);
    v->valueOffset(GeometryValue::valueWithCGRect({1, 1, 1, 1}));  // another kind of value: nothing
    EXPECT_EQ(v->layoutConstant(), 7);
    v->lc_offset(3);
    EXPECT_EQ(v->layoutConstant(), 3);
}

TEST(ConstraintLanguage, MultipliersPrioritiesAndAFaultyDivisor) {
    Tree t;
    lc_makeConstraints(t.view, [&](LCConstraintMaker& make) {
        make.width()->equalTo(t.container)->dividedBy(4);
        make.height()->equalTo(t.container)->multipliedBy(0.5)->priorityHigh();
        // Dividing by zero gives no usable multiplier: it is ignored rather than refused by the solver.
        make.centerX()->equalTo(t.container)->dividedBy(0);
        make.centerY()->equalTo(t.container)->priority(999);
    });
    const auto c = languageConstraints(*t.root);
    ASSERT_EQ(c.size(), 4u);
    EXPECT_DOUBLE_EQ(c[0]->multiplier(), 0.25);
    EXPECT_DOUBLE_EQ(c[1]->multiplier(), 0.5);
    EXPECT_EQ(c[1]->priority(), 750);
    EXPECT_DOUBLE_EQ(c[2]->multiplier(), 1);
    EXPECT_EQ(c[3]->priority(), 999);
    t.root->layoutIfNeeded();
    expectFrame(t.view, 120, 50, 80, 100);
}

TEST(ConstraintLanguage, UpdateChangesConstantsAndRemakeStartsOver) {
    Tree t;
    lc_makeConstraints(t.view, [&](LCConstraintMaker& make) {
        make.top()->equalTo(t.container);
        make.height()->equalTo(64);
    });
    lc_updateConstraints(t.view, [&](LCConstraintMaker& make) {
        make.top()->equalTo(t.container)->offset(20);
        make.height()->equalTo(80);
    });
    EXPECT_EQ(languageConstraints(*t.root).size(), 1u);
    EXPECT_EQ(languageConstraints(*t.root)[0]->constant(), 20);
    EXPECT_EQ(languageConstraints(*t.view).size(), 1u);
    EXPECT_EQ(languageConstraints(*t.view)[0]->constant(), 80);

    // A differing priority or multiplier is another constraint.
    lc_updateConstraints(t.view, [&](LCConstraintMaker& make) {
        make.top()->equalTo(t.container)->offset(5)->priorityLow();
        make.height()->equalTo(t.container)->multipliedBy(0.5);
    });
    EXPECT_EQ(languageConstraints(*t.root).size(), 3u);

    // Remake drops what the view declared, and only that.
    auto other = std::make_shared<View>();
    t.root->addSubview(other);
    lc_makeConstraints(other, [&](LCConstraintMaker& make) { make.top()->equalTo(lc_bottom(t.view)); });
    lc_remakeConstraints(t.view, [&](LCConstraintMaker& make) { make.left()->equalTo(t.container); });
    const auto remaining = languageConstraints(*t.root);
    ASSERT_EQ(remaining.size(), 2u);
    EXPECT_EQ(remaining[0]->firstItem(), other);
    expectConstraint(*remaining[1], t.view, A::Left, t.container, A::Left, 0);
    EXPECT_TRUE(languageConstraints(*t.view).empty());
    EXPECT_EQ(LCViewConstraint::installedConstraintsForView(*t.view).size(), 1u);

    // An empty block installs nothing.
    auto bare = std::make_shared<View>();
    t.root->addSubview(bare);
    EXPECT_TRUE(lc_makeConstraints(bare, [](LCConstraintMaker&) {}).empty());
    EXPECT_FALSE(bare->translatesAutoresizingMaskIntoConstraints());
}

TEST(ConstraintLanguage, ArraysGroupsActivationAndViewsWithoutAncestor) {
    Tree t;
    auto b = std::make_shared<View>(cg::Rect{0, 0, 150, 10});
    t.root->addSubview(b);
    const auto declared = lc_makeConstraints(t.view, [&](LCConstraintMaker& make) {
        make.width()->greaterThanOrEqualTo(ns::Array{ns::Value(t.container), ns::Value(b)});
    });
    ASSERT_EQ(declared.size(), 1u);
    ASSERT_TRUE(std::dynamic_pointer_cast<LCCompositeConstraint>(declared[0]));
    const auto c = languageConstraints(*t.root);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0]->relation(), LayoutRelation::GreaterThanOrEqual);
    EXPECT_EQ(c[0]->secondItem(), t.container);
    EXPECT_EQ(c[1]->secondItem(), b);

    // Deactivation switches the platform constraints off; activation installs them anew.
    declared[0]->deactivate();
    EXPECT_TRUE(languageConstraints(*t.root).empty());
    EXPECT_TRUE(LCViewConstraint::installedConstraintsForView(*t.view).empty());
    declared[0]->activate();
    EXPECT_EQ(languageConstraints(*t.root).size(), 2u);
    declared[0]->install();  // installed already: nothing more
    EXPECT_EQ(languageConstraints(*t.root).size(), 2u);

    // group() gathers what its block declares without moving it out of the list.
    lc_makeConstraints(b, [&](LCConstraintMaker& make) {
        make.group([&] {
            make.left()->equalTo(t.container);
            make.top()->equalTo(t.container);
        })->offset(7);
    });
    for (const auto& installed : LCViewConstraint::installedConstraintsForView(*b)) {
        EXPECT_EQ(installed->layoutConstant(), 7);
    }

    // A view outside the tree shares no ancestor: nothing is added anywhere, the declaration is recorded.
    auto stranger = std::make_shared<View>();
    lc_makeConstraints(stranger, [&](LCConstraintMaker& make) { make.left()->equalTo(t.container); });
    const auto recorded = LCViewConstraint::installedConstraintsForView(*stranger);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_FALSE(recorded[0]->layoutConstraint());
    EXPECT_FALSE(recorded[0]->installedView());
}

TEST(ConstraintLanguage, AttributesBoxingAndAbstractOperations) {
    Tree t;
    EXPECT_TRUE(lc_left(t.view)->isEqual(*lc_attribute(t.view, A::Left)));
    EXPECT_FALSE(lc_left(t.view)->isEqual(*lc_right(t.view)));
    EXPECT_FALSE(lc_left(t.view)->isEqual(*t.view));
    EXPECT_EQ(lc_left(t.view)->hash(), lc_left(t.view)->hash());
    EXPECT_TRUE(lc_width(t.view)->isSizeAttribute());
    EXPECT_FALSE(lc_centerX(t.view)->isSizeAttribute());

    EXPECT_EQ(lc_closestCommonSuperview(t.view.get(), t.view.get()), t.view.get());
    EXPECT_EQ(lc_closestCommonSuperview(t.view.get(), t.container.get()), t.root.get());
    EXPECT_EQ(lc_closestCommonSuperview(t.view.get(), t.root.get()), t.root.get());
    EXPECT_EQ(lc_closestCommonSuperview(t.view.get(), nullptr), nullptr);
    EXPECT_EQ(lc_commonSuperviewOfViews({nullptr, t.view, nullptr, t.container}), t.root.get());
    EXPECT_EQ(lc_commonSuperviewOfViews({t.view}), t.view.get());
    EXPECT_EQ(lc_commonSuperviewOfViews({}), nullptr);

    EXPECT_TRUE(LCBoxValueForObjCType("{CGRect=dddd}", 3.0).isNil());
    EXPECT_TRUE(LCBoxValueForObjCType("x", 3).isNil());
    EXPECT_EQ(LCBoxValueForObjCType("f", 0.1).doubleValue(), static_cast<double>(0.1f));
    EXPECT_EQ(LCBoxValueForObjCType("B", 7).kind(), ns::Value::Kind::Bool);
    EXPECT_EQ(LCBoxValueForObjCType("c", 300).int64Value(), 44);  // narrowed to a signed char
    EXPECT_EQ(LCBoxValue(std::uint16_t{9}).kind(), ns::Value::Kind::UInt);
    EXPECT_EQ(GeometryValue::CGSizeValue(LCBoxValue(cg::Size{1, 2}))->height, 2);
    EXPECT_EQ(LCBoxValue(t.view).asObject<View>(), t.view);

    LCConstraint abstract;
    try {
        abstract.install();
        FAIL() << "an abstract operation must raise";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), ns::InternalInconsistencyException);
        EXPECT_EQ(e.reason(), "You must override install in a subclass.");
    }
}

TEST(ConstraintLanguage, DistributionsShareTheAxis) {
    auto container = std::make_shared<View>(cg::Rect{0, 0, 320, 100});
    LCViews three, four;
    for (int i = 0; i < 3; ++i) three.push_back(std::make_shared<View>());
    for (int i = 0; i < 4; ++i) four.push_back(std::make_shared<View>());
    for (const auto& v : three) container->addSubview(v);
    for (const auto& v : four) container->addSubview(v);
    lc_makeConstraints(three, [&](LCConstraintMaker& make) {
        make.top()->equalTo(container);
        make.height()->equalTo(10);
    });
    lc_distributeViewsAlongAxisWithFixedSpacing(three, LCDistributionAxisHorizontal, 10, 5, 5);
    lc_makeConstraints(four, [&](LCConstraintMaker& make) {
        make.left()->equalTo(container);
        make.width()->equalTo(10);
    });
    lc_distributeViewsAlongAxisWithFixedItemLength(four, LCDistributionAxisVertical, 50, 10, 10);
    lc_distributeViewsAlongAxisWithFixedSpacing({three[0]}, LCDistributionAxisHorizontal, 1, 1, 1);  // nothing

    container->setFrame({0, 0, 320, 400});
    container->layoutIfNeeded();
    const double w = (320.0 - 5 - 5 - 20) / 3;
    expectFrame(three[0], 5, 0, w, 10);
    expectFrame(three[1], 5 + w + 10, 0, w, 10);
    expectFrame(three[2], 5 + 2 * (w + 10), 0, w, 10);
    // Bottom edges run evenly from lead + length to the container's extent minus the tail.
    EXPECT_NEAR(cg::maxY(four[0]->frame()), 60, 1e-6);
    EXPECT_NEAR(cg::maxY(four[1]->frame()), 400.0 / 3 + (2.0 / 3) * 60 - 10.0 / 3, 1e-6);
    EXPECT_NEAR(cg::maxY(four[3]->frame()), 390, 1e-6);
    EXPECT_NEAR(four[3]->frame().size.height, 50, 1e-6);
}

TEST(ConstraintLanguage, DescriptionsNameKeysAndPrintAsSpecifiedForm) {
    lc_installConstraintDescriptions();
    Tree t;
    setLc_key(*t.container, ns::Value("container"));
    setLc_key(*t.view, ns::Value("view"));
    lc_makeConstraints(t.view, [&](LCConstraintMaker& make) {
        make.edges()->equalTo(t.container)->key(ns::Value("edges"));
        make.width()->equalTo(64);
        make.height()->equalTo(t.container)->multipliedBy(0.5)->offset(-8)->priority(999);
        make.centerX()->equalTo(t.container)->priorityLow();
    });
    std::vector<std::string> texts;
    for (const auto& c : t.root->constraints()) texts.push_back(c->description());
    for (const auto& c : t.view->constraints()) texts.push_back(c->description());
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(texts[0], "<LCLayoutConstraint:edges[0] UIView:view.left == UIView:container.left>");
    EXPECT_EQ(texts[3], "<LCLayoutConstraint:edges[3] UIView:view.bottom == UIView:container.bottom>");
    EXPECT_NE(texts[4].find(" UIView:view.height == UIView:container.height * 0.5 - 8 ^999>"), std::string::npos);
    EXPECT_NE(texts[5].find(" UIView:view.centerX == UIView:container.centerX ^low>"), std::string::npos);
    EXPECT_NE(texts[6].find(" UIView:view.width == 64>"), std::string::npos);
    EXPECT_EQ(texts[6].rfind("<LCLayoutConstraint:0x", 0), 0u);

    // A platform constraint the language did not make prints as class and address.
    auto plain = std::make_shared<View>();
    auto fixed = LayoutConstraint::constraintWithItem(plain, A::Width, LayoutRelation::Equal, nullptr,
                                                      A::NotAnAttribute, 1, 0);
    const std::string text = fixed->description();
    EXPECT_EQ(text.rfind("<NSLayoutConstraint:0x", 0), 0u);
    EXPECT_NE(text.find(" UIView:0x"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 12), ".width == 0>");
}

TEST(ConstraintLanguage, LayoutGuidesFollowTheBars) {
    test::UIHarness ui;
    auto content = std::make_shared<View>();
    ui.root->view()->addSubview(content);
    lc_makeConstraints(content, [&](LCConstraintMaker& make) {
        make.top()->equalTo(lc_topLayoutGuide(*ui.root));
        make.bottom()->equalTo(lc_bottomLayoutGuide(*ui.root));
        make.left()->right()->equalTo(ui.root->view());
    });
    ui.root->view()->setNeedsLayout();
    ui.settle();
    EXPECT_EQ(ui.root->topLayoutGuide()->length(), 20);  // the status bar
    EXPECT_EQ(ui.root->bottomLayoutGuide()->length(), 0);
    expectFrame(content, 0, 20, 320, 460);

    // Inside a navigation controller the navigation bar covers the top as well.
    auto page = std::make_shared<ViewController>();
    auto navigation = std::make_shared<NavigationController>(page);
    ui.window->setRootViewController(navigation);
    ui.advance(1);
    auto inner = std::make_shared<View>();
    page->view()->addSubview(inner);
    lc_makeConstraints(inner, [&](LCConstraintMaker& make) {
        make.top()->equalTo(lc_topLayoutGuideBottom(*page))->offset(4);
        make.left()->equalTo(page->view());
        make.size()->equalTo(LCBoxValue(cg::Size{10, 10}));
    });
    page->view()->setNeedsLayout();
    ui.settle();
    EXPECT_EQ(page->topLayoutGuide()->length(), 64);
    expectFrame(inner, 0, 68, 10, 10);
}

TEST(ConstraintLanguage, AViewThatLeftItsSuperviewIsDeclaredAfresh) {
    Tree t;
    lc_makeConstraints(t.view, [&](LCConstraintMaker& make) {
        make.left()->equalTo(t.container)->offset(5);
        make.height()->equalTo(20);
    });
    t.view->removeFromSuperview();
    EXPECT_TRUE(languageConstraints(*t.root).empty());
    t.root->addSubview(t.view);
    // The relation to the container went with the move: updating it adds it again.
    lc_updateConstraints(t.view, [&](LCConstraintMaker& make) { make.left()->equalTo(t.container)->offset(9); });
    ASSERT_EQ(languageConstraints(*t.root).size(), 1u);
    EXPECT_EQ(languageConstraints(*t.root)[0]->constant(), 9);
    lc_remakeConstraints(t.view, [&](LCConstraintMaker& make) { make.top()->equalTo(t.container); });
    ASSERT_EQ(languageConstraints(*t.root).size(), 1u);
    EXPECT_EQ(languageConstraints(*t.root)[0]->firstAttribute(), A::Top);
    EXPECT_TRUE(languageConstraints(*t.view).empty());
}
