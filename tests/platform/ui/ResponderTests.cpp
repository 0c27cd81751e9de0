#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Control.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

// Collects the names of the notifications posted while it lives, with their user info.
class NotificationLog {
public:
    explicit NotificationLog(std::vector<std::string_view> names) {
        owner_ = std::make_shared<ns::Object>();
        for (auto name : names) {
            ns::NotificationCenter::defaultCenter().addObserver(
                owner_, [this](const ns::Notification& n) { entries.push_back({n.name(), n.userInfo(), n.sender()}); },
                name);
        }
    }
    ~NotificationLog() { ns::NotificationCenter::defaultCenter().removeObserver(owner_.get()); }

    struct Entry {
        std::string name;
        ns::Dictionary info;
        const ns::Object* sender;
    };
    std::vector<std::string> names() const {
        std::vector<std::string> n;
        for (const auto& e : entries) n.push_back(e.name);
        return n;
    }
    std::vector<Entry> entries;

private:
    std::shared_ptr<ns::Object> owner_;
};

struct Responding : View {
    using View::View;
    std::vector<std::string> heard;
    void ping(ns::Object* sender) { heard.push_back(sender ? std::string(sender->className()) : "nil"); }
    bool canBecomeFirstResponder() const override { return true; }
};

// A responder whose resigning fails with an exception while `fails` is set.
struct FailingToResign : Responding {
    using Responding::Responding;
    bool fails = true;
    bool resignFirstResponder() override {
        if (fails) throw std::runtime_error("cannot resign");
        return Responding::resignFirstResponder();
    }
};

struct LimitingDelegate : ns::Object, TextFieldDelegate {
    bool allowBegin = true;
    bool allowEnd = true;
    int returns = 0;
    bool textFieldShouldBeginEditing(TextField&) override { return allowBegin; }
    bool textFieldShouldEndEditing(TextField&) override { return allowEnd; }
    // At most 20 characters once the edit is made, so deleting is always possible.
    bool textFieldShouldChangeCharactersInRangeReplacementString(TextField& field, ns::Range range,
                                                                 const std::string& replacement) override {
        const std::uint64_t after = ns::utf16Length(field.text()) - range.length + ns::utf16Length(replacement);
        return after <= 20;
    }
    bool textFieldShouldReturn(TextField&) override {
        ++returns;
        return true;
    }
};

}  // namespace

TEST(Responder, ChainRunsFromViewsThroughControllersAndWindowToTheApplication) {
    test::UIHarness harness;
    auto outer = std::make_shared<Responding>(cg::Rect{0, 0, 100, 100});
    auto inner = std::make_shared<View>(cg::Rect{0, 0, 10, 10});
    outer->addSubview(inner);
    harness.root->view()->addSubview(outer);
    EXPECT_EQ(inner->nextResponder(), outer.get());
    EXPECT_EQ(harness.root->view()->nextResponder(), harness.root.get());
    EXPECT_EQ(harness.root->nextResponder(), harness.window.get());
    EXPECT_EQ(harness.window->nextResponder(), &Application::sharedApplication());

    // Without a target, the action goes up from the first responder (else from the sender) to the first
    // responder that answers it.
    Action ping(&Responding::ping);
    auto control = std::make_shared<Control>(cg::Rect{0, 0, 10, 10});
    inner->addSubview(control);
    EXPECT_TRUE(Application::sharedApplication().sendAction(ping, nullptr, control.get(), nullptr));
    EXPECT_EQ(outer->heard, (std::vector<std::string>{"UIControl"}));
    auto stranger = std::make_shared<Responding>(cg::Rect{0, 0, 10, 10});
    harness.root->view()->addSubview(stranger);
    ASSERT_TRUE(stranger->becomeFirstResponder());
    EXPECT_TRUE(Application::sharedApplication().sendAction(ping, nullptr, control.get(), nullptr));
    EXPECT_EQ(outer->heard.size(), 1u);
    EXPECT_EQ(stranger->heard, (std::vector<std::string>{"UIControl"}));
    EXPECT_FALSE(Application::sharedApplication().sendAction(ping, nullptr, nullptr, nullptr) &&
                 !stranger->isFirstResponder());
    ASSERT_TRUE(outer->becomeFirstResponder());
    EXPECT_FALSE(stranger->isFirstResponder());
    // A target that does not answer gets nothing.
    EXPECT_FALSE(Application::sharedApplication().sendAction(ping, harness.root.get(), control.get(), nullptr));
    // Leaving the window gives up first responder status.
    outer->removeFromSuperview();
    EXPECT_EQ(harness.window->firstResponder(), nullptr);
    EXPECT_FALSE(outer->isFirstResponder());
}

TEST(Responder, TextFieldsBringTheKeyboardWithItsNotifications) {
    test::UIHarness harness;  // 320 × 480 phone
    auto first = std::make_shared<TextField>(cg::Rect{10, 300, 200, 30});
    auto second = std::make_shared<TextField>(cg::Rect{10, 340, 200, 30});
    auto delegate = std::make_shared<LimitingDelegate>();
    second->setDelegate(delegate);
    harness.root->view()->addSubview(first);
    harness.root->view()->addSubview(second);

    NotificationLog log({KeyboardWillShowNotification, KeyboardDidShowNotification, KeyboardWillHideNotification,
                         KeyboardDidHideNotification, TextFieldTextDidBeginEditingNotification,
                         TextFieldTextDidEndEditingNotification});
    ASSERT_TRUE(first->becomeFirstResponder());
    EXPECT_TRUE(first->isEditing());
    EXPECT_EQ(log.names(), (std::vector<std::string>{"UITextFieldTextDidBeginEditingNotification",
                                                     "UIKeyboardWillShowNotification"}));
    const auto& info = log.entries.back().info;
    EXPECT_EQ(GeometryValue::CGRectValue(info[KeyboardFrameBeginUserInfoKey]), (cg::Rect{0, 480, 320, 216}));
    EXPECT_EQ(GeometryValue::CGRectValue(info[KeyboardFrameEndUserInfoKey]), (cg::Rect{0, 264, 320, 216}));
    EXPECT_EQ(info[KeyboardAnimationDurationUserInfoKey].doubleValue(), 0.25);
    EXPECT_EQ(info[KeyboardAnimationCurveUserInfoKey].int64Value(), 7);
    // The did-show comes once the keyboard's slide is over on the clock.
    harness.advance(0.2);
    EXPECT_EQ(log.entries.size(), 2u);
    harness.advance(0.1);
    EXPECT_EQ(log.names().back(), "UIKeyboardDidShowNotification");
    EXPECT_EQ(Keyboard::shared().visibleHeight(), 216);

    // Moving to the next field keeps the keyboard: one end, one begin, a will-show from where it stands.
    log.entries.clear();
    auto bar = std::make_shared<View>(cg::Rect{0, 0, 320, 44});
    second->setInputAccessoryView(bar);
    ASSERT_TRUE(second->becomeFirstResponder());
    EXPECT_FALSE(first->isEditing());
    EXPECT_EQ(log.names(), (std::vector<std::string>{"UITextFieldTextDidEndEditingNotification",
                                                     "UITextFieldTextDidBeginEditingNotification",
                                                     "UIKeyboardWillShowNotification"}));
    EXPECT_EQ(GeometryValue::CGRectValue(log.entries.back().info[KeyboardFrameBeginUserInfoKey]), (cg::Rect{0, 264, 320, 216}));
    EXPECT_EQ(GeometryValue::CGRectValue(log.entries.back().info[KeyboardFrameEndUserInfoKey]), (cg::Rect{0, 220, 320, 260}));
    EXPECT_EQ(bar->window(), Keyboard::shared().window().get());
    EXPECT_EQ(std::string(bar->superview()->className()), "UIPeripheralHostView");

    // A field that refuses to end keeps the keyboard until editing is ended by force.
    delegate->allowEnd = false;
    EXPECT_FALSE(first->becomeFirstResponder());
    EXPECT_TRUE(second->isFirstResponder());
    log.entries.clear();
    EXPECT_TRUE(harness.root->view()->endEditing(true));
    EXPECT_EQ(log.names(), (std::vector<std::string>{"UITextFieldTextDidEndEditingNotification",
                                                     "UIKeyboardWillHideNotification"}));
    harness.advance(0.3);
    EXPECT_EQ(log.names().back(), "UIKeyboardDidHideNotification");
    EXPECT_FALSE(Keyboard::shared().isVisible());
    EXPECT_EQ(bar->superview(), nullptr);

    // A field whose delegate refuses to begin stays as it is.
    delegate->allowBegin = false;
    EXPECT_FALSE(second->becomeFirstResponder());
    EXPECT_FALSE(Keyboard::shared().isVisible());
}

TEST(Responder, TypingGoesThroughTheDelegateAndIsAnnounced) {
    test::UIHarness harness;
    auto field = std::make_shared<TextField>(cg::Rect{10, 100, 200, 30});
    auto delegate = std::make_shared<LimitingDelegate>();
    field->setDelegate(delegate);
    harness.root->view()->addSubview(field);
    struct Target : ns::Object {
        int changed = 0, exited = 0;
        void onChange(ns::Object*) { ++changed; }
        void onExit(ns::Object*) { ++exited; }
    };
    auto target = std::make_shared<Target>();
    field->addTarget(target, Action(&Target::onChange), ControlEventEditingChanged);
    field->addTarget(target, Action(&Target::onExit), ControlEventEditingDidEndOnExit);
    NotificationLog log({TextFieldTextDidChangeNotification});

    // A tap makes the field first responder.
    ASSERT_TRUE(harness.fingers.tap(*field));
    ASSERT_TRUE(field->isFirstResponder());
    field->insertText("密码1234567890123456");  // 18 characters
    EXPECT_EQ(ns::utf16Length(field->text()), 18u);
    field->insertText("abc");  // 21 would be too many
    EXPECT_EQ(ns::utf16Length(field->text()), 18u);
    field->insertText("ab");
    field->insertText("c");
    EXPECT_EQ(field->text(), "密码1234567890123456ab");
    field->deleteBackward();
    EXPECT_EQ(field->text(), "密码1234567890123456a");
    field->setSelectedRange({0, 2});
    field->deleteBackward();
    EXPECT_EQ(field->text(), "1234567890123456a");
    EXPECT_EQ(target->changed, 4);
    EXPECT_EQ(log.entries.size(), 4u);
    EXPECT_EQ(log.entries.front().sender, field.get());
    // Text set by code announces nothing.
    field->setText("plain");
    EXPECT_EQ(log.entries.size(), 4u);

    // The return key asks the delegate and ends editing through the end-on-exit action.
    field->insertText("\n");
    EXPECT_EQ(delegate->returns, 1);
    EXPECT_EQ(target->exited, 1);
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(field->text(), "plain");

    // A text view takes line breaks as text.
    auto view = std::make_shared<TextView>(cg::Rect{0, 200, 200, 100});
    harness.root->view()->addSubview(view);
    NotificationLog viewLog({TextViewTextDidChangeNotification, TextViewTextDidBeginEditingNotification});
    ASSERT_TRUE(view->becomeFirstResponder());
    view->insertText("line\n");
    view->insertText("next");
    EXPECT_EQ(view->text(), "line\nnext");
    EXPECT_EQ(viewLog.names(), (std::vector<std::string>{"UITextViewTextDidBeginEditingNotification",
                                                         "UITextViewTextDidChangeNotification",
                                                         "UITextViewTextDidChangeNotification"}));
    // The caret of the second line sits one line below the first, after "next".
    const cg::Rect start = view->caretRectForPosition(0);
    const cg::Rect end = view->caretRectForPosition(9);
    EXPECT_GT(end.origin.y, start.origin.y);
    EXPECT_GT(end.origin.x, start.origin.x);
}

TEST(Responder, EditingNeverSplitsACharacterOfTwoUnits) {
    test::UIHarness harness;
    // "a😀b": the emoji takes units 1 and 2.
    auto field = std::make_shared<TextField>(cg::Rect{10, 100, 200, 30});
    harness.root->view()->addSubview(field);
    field->setText("a\U0001F600b");
    ASSERT_TRUE(field->becomeFirstResponder());
    field->setSelectedRange({2, 0});  // between the emoji's halves
    EXPECT_EQ(field->selectedRange(), (ns::Range{1, 0}));
    field->insertText("x");
    EXPECT_EQ(field->text(), "ax\U0001F600b");
    field->setSelectedRange({3, 2});  // from inside the emoji through "b"
    EXPECT_EQ(field->selectedRange(), (ns::Range{2, 3}));
    field->insertText("y");
    EXPECT_EQ(field->text(), "axy");

    auto view = std::make_shared<TextView>(cg::Rect{0, 200, 200, 100});
    harness.root->view()->addSubview(view);
    view->setText("\U0001F600\U0001F600");
    ASSERT_TRUE(view->becomeFirstResponder());
    view->setSelectedRange({1, 2});  // the second half of one emoji and the first of the next
    EXPECT_EQ(view->selectedRange(), (ns::Range{0, 4}));
    view->setSelectedRange({2, 0});  // between the two: a boundary, kept
    view->insertText("z");
    EXPECT_EQ(view->text(), "\U0001F600z\U0001F600");
}

TEST(Responder, ClearButtonAndReloadedInputViews) {
    test::UIHarness harness;
    auto field = std::make_shared<TextField>(cg::Rect{10, 100, 200, 30});
    field->setClearButtonMode(TextFieldViewMode::WhileEditing);
    field->setText("abc");
    harness.root->view()->addSubview(field);
    struct Keeper : ns::Object, TextFieldDelegate {
        bool allow = false;
        bool textFieldShouldClear(TextField&) override { return allow; }
    };
    auto keeper = std::make_shared<Keeper>();
    field->setDelegate(keeper);
    ASSERT_TRUE(field->becomeFirstResponder());
    const cg::Rect clear = field->clearButtonRectForBounds(field->bounds());
    const cg::Point onClear = field->convertPointToView({cg::midX(clear), cg::midY(clear)}, nullptr);
    NotificationLog log({TextFieldTextDidChangeNotification, KeyboardWillShowNotification});
    ASSERT_TRUE(harness.fingers.tap(onClear));
    EXPECT_EQ(field->text(), "abc");
    keeper->allow = true;
    ASSERT_TRUE(harness.fingers.tap(onClear));
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(log.names(), (std::vector<std::string>{"UITextFieldTextDidChangeNotification"}));

    // A new accessory view shows once the input views are reloaded, with the keyboard's new frame.
    field->setInputAccessoryView(std::make_shared<View>(cg::Rect{0, 0, 320, 44}));
    field->reloadInputViews();
    EXPECT_EQ(log.names().back(), "UIKeyboardWillShowNotification");
    EXPECT_EQ(GeometryValue::CGRectValue(log.entries.back().info[KeyboardFrameEndUserInfoKey]), (cg::Rect{0, 220, 320, 260}));
}

TEST(Responder, AResignThatThrowsLeavesTheWindowAnnouncingLaterChanges) {
    test::UIHarness harness;
    auto stubborn = std::make_shared<FailingToResign>(cg::Rect{0, 0, 10, 10});
    auto field = std::make_shared<TextField>(cg::Rect{10, 300, 200, 30});
    harness.root->view()->addSubview(stubborn);
    harness.root->view()->addSubview(field);
    ASSERT_TRUE(stubborn->becomeFirstResponder());
    EXPECT_THROW(field->becomeFirstResponder(), std::runtime_error);
    EXPECT_TRUE(stubborn->isFirstResponder());
    stubborn->fails = false;
    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(Keyboard::shared().isVisible());
    EXPECT_TRUE(harness.root->view()->endEditing(true));
    EXPECT_FALSE(Keyboard::shared().isVisible());
}
