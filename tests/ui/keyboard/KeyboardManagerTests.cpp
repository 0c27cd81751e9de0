#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Runtime.h"
#include "platform/ui/Button.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/LayoutGuide.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "tests/support/UIHarness.h"
#include "ui/keyboard/KBKeyboardManager.h"
#include "ui/keyboard/KBToolbar.h"
#include "ui/keyboard/KBToolbarAddition.h"
#include "ui/keyboard/KBViewHierarchy.h"

using namespace ql;
using namespace ql::ui;

namespace {

using FieldPtr = std::shared_ptr<TextField>;

FieldPtr field(View& parent, const cg::Rect& frame, const std::string& placeholder) {
    auto f = std::make_shared<TextField>(frame);
    f->setPlaceholder(placeholder);
    parent.addSubview(f);
    return f;
}

std::shared_ptr<KBToolbar> toolbarOf(const View& view) {
    return std::dynamic_pointer_cast<KBToolbar>(view.inputAccessoryView());
}

// The shared manager lives for the process: each test starts it switched on with the defaults and leaves
// it so.
class KeyboardManager : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KBKeyboardManager::sharedManager();
        manager->setEnable(true);
    }
    void TearDown() override {
        ui.window->endEditing(true);
        ui.advance(1);
        manager->setShouldResignOnTouchOutside(false);
        manager->setToolbarManageBehaviour(KBAutoToolbarManageBehaviour::BySubviews);
        manager->setKeyboardDistanceFromTextField(KBKeyboardManager::kDefaultKeyboardDistance);
        manager->setEnable(true);
    }

    // How far the field's bottom (plus the distance) reaches into a keyboard with its toolbar.
    double hiddenBy(const TextField& f) {
        const double keyboardTop = 480 - Keyboard::shared().frame().size.height;
        return cg::maxY(f.frame()) + manager->keyboardDistanceFromTextField() - keyboardTop;
    }

    test::UIHarness ui;
    std::shared_ptr<KBKeyboardManager> manager;
};

}  // namespace

TEST_F(KeyboardManager, TheLoadHookCreatesAndEnablesTheSharedInstance) {
    KBKeyboardManager::registerLoadHook();
    const auto hooks = ns::Runtime::loadHooks();
    const auto it = std::find_if(hooks.begin(), hooks.end(), [](const auto& h) { return h.name == "KBKeyboardManager"; });
    ASSERT_NE(it, hooks.end());
    EXPECT_EQ(it->phase, ns::Runtime::LoadPhase::ClassLoad);
    manager->setEnable(false);
    ns::Runtime::runLoadHooks();
    EXPECT_TRUE(manager->isEnabled());
    manager->setKeyboardDistanceFromTextField(-5);
    EXPECT_EQ(manager->keyboardDistanceFromTextField(), 0);
}

TEST_F(KeyboardManager, TracksTheFieldAndAttachesToolbarsAsTheGroupChanges) {
    View& root = *ui.root->view();
    auto a = field(root, {20, 100, 280, 30}, "Name");
    auto b = field(root, {20, 150, 280, 30}, "Mobile");
    auto c = field(root, {20, 200, 280, 30}, "Password");
    ASSERT_TRUE(b->becomeFirstResponder());
    ui.settle();
    EXPECT_EQ(manager->textFieldView(), b);
    for (const auto& f : {a, b, c}) {
        auto bar = toolbarOf(*f);
        ASSERT_TRUE(bar);
        EXPECT_EQ(bar->tag(), kKBPreviousNextToolbarTag);
        EXPECT_EQ(bar->items().size(), 6u);
    }
    EXPECT_EQ(toolbarOf(*b)->title(), "Mobile");
    EXPECT_FALSE(toolbarOf(*a)->items()[0]->isEnabled());
    EXPECT_TRUE(toolbarOf(*a)->items()[2]->isEnabled());
    EXPECT_TRUE(toolbarOf(*b)->items()[0]->isEnabled());
    EXPECT_FALSE(toolbarOf(*c)->items()[2]->isEnabled());
    // The keyboard carries the toolbar of the edited field.
    EXPECT_EQ(Keyboard::shared().frame().size.height, Keyboard::standardHeight() + 44);

    // The group shrinks to one field: the next begin editing gives it the shared Done toolbar.
    ui.window->endEditing(true);
    ui.advance(1);
    EXPECT_FALSE(manager->textFieldView());
    a->setHidden(true);
    c->setEnabled(false);
    ASSERT_TRUE(b->becomeFirstResponder());
    ui.settle();
    auto done = toolbarOf(*b);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->tag(), kKBDoneToolbarTag);
    EXPECT_EQ(done->items().size(), 3u);
    EXPECT_EQ(done->title(), "Mobile");

    // An accessory view of the app's own is left alone.
    auto own = std::make_shared<View>(cg::Rect{0, 0, 320, 30});
    own->setTag(7);
    c->setEnabled(true);
    c->setInputAccessoryView(own);
    ui.window->endEditing(true);
    ui.advance(1);
    ASSERT_TRUE(c->becomeFirstResponder());
    ui.settle();
    EXPECT_EQ(c->inputAccessoryView(), own);
    EXPECT_EQ(toolbarOf(*b)->tag(), kKBPreviousNextToolbarTag);
}

TEST_F(KeyboardManager, MovesTheRootViewAndRestoresItWhenTheKeyboardLeaves) {
    View& root = *ui.root->view();
    auto low = field(root, {20, 400, 280, 30}, "Low");
    auto high = field(root, {20, 100, 280, 30}, "High");
    ASSERT_TRUE(low->becomeFirstResponder());
    ui.settle();
    EXPECT_TRUE(manager->isKeyboardShowing());
    EXPECT_EQ(manager->keyboardSize().height, Keyboard::standardHeight() + 44);
    const double move = hiddenBy(*low);
    EXPECT_GT(move, 0);
    EXPECT_DOUBLE_EQ(root.frame().origin.y, -move);

    // A field with room to spare brings the view back down, but never below where it began.
    ASSERT_TRUE(high->becomeFirstResponder());
    ui.settle();
    EXPECT_DOUBLE_EQ(root.frame().origin.y, 0);

    ui.window->endEditing(true);
    ui.advance(1);
    EXPECT_FALSE(manager->isKeyboardShowing());
    EXPECT_EQ(root.frame(), (cg::Rect{0, 0, 320, 480}));

    // Switched off, nothing moves; switched on while the keyboard shows, the view moves at once.
    manager->setEnable(false);
    ASSERT_TRUE(low->becomeFirstResponder());
    ui.settle();
    EXPECT_DOUBLE_EQ(root.frame().origin.y, 0);
    manager->setEnable(true);
    EXPECT_DOUBLE_EQ(root.frame().origin.y, -hiddenBy(*low));
    manager->setEnable(false);
    EXPECT_DOUBLE_EQ(root.frame().origin.y, 0);
}

TEST_F(KeyboardManager, ScrollsNestedScrollViewsInnerFirst) {
    View& root = *ui.root->view();
    auto outer = std::make_shared<ScrollView>(cg::Rect{0, 0, 320, 480});
    outer->setContentSize({320, 1200});
    auto inner = std::make_shared<ScrollView>(cg::Rect{0, 300, 320, 160});
    inner->setContentSize({320, 400});
    root.addSubview(outer);
    outer->addSubview(inner);
    auto f = field(*inner, {20, 100, 280, 30}, "Deep");
    field(*inner, {20, 10, 280, 30}, "Shallow");

    ASSERT_TRUE(f->becomeFirstResponder());
    ui.settle();
    const double kb = manager->keyboardSize().height + 10;
    const double move = 430 - (480 - kb);  // the field's bottom in the window, below the keyboard's top
    // The inner one scrolls until the field's top reaches its top; the rest goes to the outer one.
    EXPECT_DOUBLE_EQ(inner->contentOffset().y, 100);
    EXPECT_DOUBLE_EQ(outer->contentOffset().y, move - 100);
    EXPECT_DOUBLE_EQ(root.frame().origin.y, 0);
    // Only the remembered (innermost) one gets the larger bottom inset; its indicators 10 points less.
    const double innerBottomInWindow = 300 + 160 - (move - 100);
    EXPECT_DOUBLE_EQ(inner->contentInset().bottom, kb - (480 - innerBottomInWindow));
    EXPECT_DOUBLE_EQ(inner->scrollIndicatorInsets().bottom, inner->contentInset().bottom - 10);
    EXPECT_DOUBLE_EQ(outer->contentInset().bottom, 0);

    ui.window->endEditing(true);
    ui.advance(1);
    EXPECT_DOUBLE_EQ(inner->contentInset().bottom, 0);
    EXPECT_DOUBLE_EQ(inner->scrollIndicatorInsets().bottom, 0);

    // A short content grows to the scroll view's height so that it can scroll.
    auto shortScroll = std::make_shared<ScrollView>(cg::Rect{0, 0, 320, 480});
    shortScroll->setContentSize({320, 100});
    root.addSubview(shortScroll);
    auto g = field(*shortScroll, {20, 60, 280, 30}, "Short");
    ASSERT_TRUE(g->becomeFirstResponder());
    ui.settle();
    EXPECT_EQ(shortScroll->contentSize().height, 480);
}

TEST_F(KeyboardManager, KeepsTheCaretOfATextViewInSight) {
    View& root = *ui.root->view();
    auto text = std::make_shared<TextView>(cg::Rect{20, 60, 280, 100});
    root.addSubview(text);
    ASSERT_TRUE(text->becomeFirstResponder());
    ui.advance(1);
    EXPECT_EQ(toolbarOf(*text)->tag(), kKBDoneToolbarTag);
    text->setText(std::string(40, '\n'));
    text->setSelectedRange({40, 0});
    text->setContentOffset({0, 0});
    const cg::Rect caret = text->caretRectForPosition(40);
    manager->textFieldViewDidChange(ns::Notification(std::string(TextViewTextDidChangeNotification), text.get()));
    const double visibleBottom = 100 - text->contentInset().bottom - text->contentInset().top;
    EXPECT_DOUBLE_EQ(text->contentOffset().y, cg::maxY(caret) - visibleBottom + 7);
}

TEST_F(KeyboardManager, PreviousAndNextWalkTheGroupInTheChosenOrder) {
    View& root = *ui.root->view();
    auto a = field(root, {20, 300, 280, 30}, "A");
    auto b = field(root, {20, 100, 280, 30}, "B");
    auto c = field(root, {20, 200, 280, 30}, "C");
    a->setTag(3);
    b->setTag(1);
    c->setTag(1);  // equal tags keep their order
    ASSERT_TRUE(b->becomeFirstResponder());
    ui.settle();
    using Views = std::vector<std::shared_ptr<View>>;
    EXPECT_EQ(manager->responderViews(), (Views{a, b, c}));
    manager->setToolbarManageBehaviour(KBAutoToolbarManageBehaviour::ByTag);
    EXPECT_EQ(manager->responderViews(), (Views{b, c, a}));
    manager->setToolbarManageBehaviour(KBAutoToolbarManageBehaviour::ByPosition);
    EXPECT_EQ(manager->responderViews(), (Views{b, c, a}));
    EXPECT_FALSE(manager->canGoPrevious());
    EXPECT_TRUE(manager->canGoNext());

    // Next runs the field's own call after moving on; a call whose target is gone is skipped.
    struct Target : ns::Object {
        int calls = 0;
        void called(ns::Object*) { ++calls; }
    };
    auto target = std::make_shared<Target>();
    setCustomNextTarget(*b, target, Action(&Target::called));
    manager->nextAction(nullptr);
    ui.settle();
    EXPECT_TRUE(c->isFirstResponder());
    EXPECT_EQ(target->calls, 1);
    manager->previousAction(nullptr);
    ui.settle();
    EXPECT_TRUE(b->isFirstResponder());
    EXPECT_EQ(target->calls, 1);
    {
        auto gone = std::make_shared<Target>();
        setCustomDoneTarget(*b, gone, Action(&Target::called));
    }
    manager->doneAction(nullptr);
    ui.settle();
    EXPECT_FALSE(b->isFirstResponder());
    EXPECT_FALSE(manager->textFieldView());

    // Another value gives no group: no moves.
    manager->setToolbarManageBehaviour(static_cast<KBAutoToolbarManageBehaviour>(5));
    ASSERT_TRUE(c->becomeFirstResponder());
    ui.settle();
    EXPECT_TRUE(manager->responderViews().empty());
    EXPECT_FALSE(manager->canGoNext());
}

TEST_F(KeyboardManager, ToolbarButtonsOverTheKeyboardTakeTaps) {
    View& root = *ui.root->view();
    auto a = field(root, {20, 100, 280, 30}, "A");
    auto b = field(root, {20, 150, 280, 30}, "B");
    ASSERT_TRUE(a->becomeFirstResponder());
    ui.advance(1);
    const auto views = toolbarOf(*a)->itemViews();  // previous, next, title, done
    ASSERT_EQ(views.size(), 4u);
    ui.fingers.tap(*views[1]);
    ui.advance(1);
    EXPECT_TRUE(b->isFirstResponder());
    ui.fingers.tap(*toolbarOf(*b)->itemViews()[3]);
    ui.advance(1);
    EXPECT_FALSE(b->isFirstResponder());
    EXPECT_FALSE(Keyboard::shared().isVisible());
}

TEST_F(KeyboardManager, ATapOutsideEndsEditingWhenEnabled) {
    View& root = *ui.root->view();
    auto f = field(root, {20, 100, 280, 30}, "Name");
    auto button = std::make_shared<Button>(cg::Rect{20, 150, 100, 40});
    root.addSubview(button);

    ASSERT_TRUE(f->becomeFirstResponder());
    ui.settle();
    ui.fingers.tap({200, 30});
    ui.advance(1);
    EXPECT_TRUE(f->isFirstResponder());  // not enabled

    manager->setShouldResignOnTouchOutside(true);
    ui.fingers.tap({70, 170});  // a control keeps its touches
    ui.advance(1);
    EXPECT_TRUE(f->isFirstResponder());
    ui.fingers.tap({200, 30});
    ui.advance(1);
    EXPECT_FALSE(f->isFirstResponder());
    EXPECT_TRUE(ui.window->gestureRecognizers().empty());
}

TEST_F(KeyboardManager, DisabledControllersKeepTheirViewButGetToolbars) {
    auto table = std::make_shared<TableViewController>();
    ui.window->setRootViewController(table);
    ui.settle();
    auto f = field(*table->view(), {20, 400, 280, 30}, "In a table");
    ASSERT_TRUE(f->becomeFirstResponder());
    ui.settle();
    EXPECT_TRUE(toolbarOf(*f));
    EXPECT_EQ(table->view()->frame().origin.y, 0);
    EXPECT_TRUE(manager->isDisableInViewControllerClass(TableViewController::classObject()));
    EXPECT_FALSE(manager->isDisableInViewControllerClass(ViewController::classObject()));
}

TEST_F(KeyboardManager, ALayoutGuideConstraintTakesTheMoveInsteadOfTheFrame) {
    View& root = *ui.root->view();
    auto box = std::make_shared<View>();
    box->setTranslatesAutoresizingMaskIntoConstraints(false);
    root.addSubview(box);
    auto guide = ui.root->bottomLayoutGuide();
    auto tie = std::make_shared<LayoutConstraint>(guide, LayoutAttribute::Top, LayoutRelation::Equal, box,
                                                  LayoutAttribute::Bottom, 1, 0);
    root.addConstraints({tie,
                         std::make_shared<LayoutConstraint>(box, LayoutAttribute::Height, LayoutRelation::Equal,
                                                            nullptr, LayoutAttribute::NotAnAttribute, 1, 60),
                         std::make_shared<LayoutConstraint>(box, LayoutAttribute::Left, LayoutRelation::Equal,
                                                            root.sharedFromThis(), LayoutAttribute::Left, 1, 0),
                         std::make_shared<LayoutConstraint>(box, LayoutAttribute::Width, LayoutRelation::Equal,
                                                            nullptr, LayoutAttribute::NotAnAttribute, 1, 320)});
    setKBLayoutGuideConstraint(*ui.root, tie);
    auto f = field(*box, {20, 20, 280, 30}, "Bottom");
    root.layoutIfNeeded();
    ASSERT_TRUE(f->becomeFirstResponder());
    ui.settle();
    // The field's bottom was at 470 in the window.
    const double keyboardTop = 480 - Keyboard::shared().frame().size.height;
    EXPECT_DOUBLE_EQ(tie->constant(), 470 + 10 - keyboardTop);
    root.layoutIfNeeded();
    EXPECT_DOUBLE_EQ(cg::maxY(f->convertRectToView(f->bounds(), nullptr)), keyboardTop - 10);
    EXPECT_DOUBLE_EQ(root.frame().origin.y, 0);
    ui.window->endEditing(true);
    ui.advance(1);
    EXPECT_DOUBLE_EQ(tie->constant(), 0);
}

TEST_F(KeyboardManager, ViewHierarchyHelpers) {
    View& root = *ui.root->view();
    auto f = field(root, {20, 100, 280, 30}, "Name");
    EXPECT_EQ(viewController(*f), ui.root.get());
    EXPECT_EQ(topMostController(*f), ui.root.get());
    EXPECT_EQ(topMostController(*ui.window), ui.root.get());
    EXPECT_EQ(superviewOfClassType(*f, ScrollView::classObject()), nullptr);
    EXPECT_EQ(depth(*f), 2);
    EXPECT_EQ(keyboardDistanceFromTextField(*f), std::numeric_limits<double>::max());
    setKeyboardDistanceFromTextField(*f, -3);
    EXPECT_EQ(keyboardDistanceFromTextField(*f), 0);
    setKeyboardDistanceFromTextField(*f, 10.1);
    EXPECT_EQ(keyboardDistanceFromTextField(*f), static_cast<double>(10.1f));

    EXPECT_TRUE(_KBcanBecomeFirstResponder(*f));
    f->setAlpha(0);
    EXPECT_FALSE(_KBcanBecomeFirstResponder(*f));
    f->setAlpha(1);
    f->setEnabled(false);
    EXPECT_FALSE(_KBcanBecomeFirstResponder(*f));
    auto readOnly = std::make_shared<TextView>(cg::Rect{0, 0, 10, 10});
    readOnly->setEditable(false);
    EXPECT_FALSE(_KBcanBecomeFirstResponder(*readOnly));
    EXPECT_FALSE(isAskingCanBecomeFirstResponder(*readOnly));

    // A child of a presented navigation controller answers the presented controller.
    auto page = std::make_shared<ViewController>();
    auto navigation = std::make_shared<NavigationController>(page);
    ui.root->presentViewController(navigation, false);
    ui.advance(1);
    auto inner = field(*page->view(), {20, 100, 100, 30}, "Inner");
    EXPECT_EQ(topMostController(*inner), navigation.get());
    EXPECT_EQ(currentViewController(*ui.window), page.get());
    EXPECT_NE(debugHierarchy(*inner).find("UITextField: ( 20, 100, 100, 30 )"), std::string::npos);
    EXPECT_EQ(_KBDescription(*inner).rfind("<UITextField 0x", 0), 0u);
    ui.root->dismissViewControllerAnimated(false);
    ui.advance(1);
}
