#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "tests/support/UIHarness.h"
#include "ui/keyboard/KBKeyboardReturnKeyHandler.h"

using namespace ql;
using namespace ql::ui;

namespace {

struct FieldDelegate : ns::Object, TextFieldDelegate {
    bool allowReturn = true;
    int began = 0;
    bool textFieldShouldReturn(TextField&) override { return allowReturn; }
    void textFieldDidBeginEditing(TextField&) override { ++began; }
};

std::shared_ptr<TextField> field(View& parent, double y) {
    auto f = std::make_shared<TextField>(cg::Rect{20, y, 280, 30});
    parent.addSubview(f);
    return f;
}

}  // namespace

TEST(ReturnKeyHandler, TheReturnKeyWalksTheFieldsAndEndsOnTheLast) {
    test::UIHarness ui;
    View& root = *ui.root->view();
    auto a = field(root, 100);
    auto b = field(root, 150);
    auto text = std::make_shared<TextView>(cg::Rect{20, 200, 280, 80});
    root.addSubview(text);
    auto own = std::make_shared<FieldDelegate>();
    a->setDelegate(own);
    a->setReturnKeyType(ReturnKeyType::Go);

    auto handler = KBKeyboardReturnKeyHandler::make(ui.root.get());
    handler->setLastTextFieldReturnKeyType(ReturnKeyType::Done);
    auto forwarded = std::make_shared<FieldDelegate>();
    handler->setDelegate(forwarded);
    EXPECT_TRUE(handler->handles(*a) && handler->handles(*b) && handler->handles(*text));
    EXPECT_EQ(a->delegate().get(), static_cast<TextFieldDelegate*>(handler.get()));
    handler->addTextFieldView(a);  // handled already: ignored, so `own` stays the one given back

    ASSERT_TRUE(a->becomeFirstResponder());
    ui.settle();
    EXPECT_EQ(a->returnKeyType(), ReturnKeyType::Next);
    EXPECT_EQ(forwarded->began, 1);
    a->insertText("\n");
    ui.settle();
    EXPECT_TRUE(b->isFirstResponder());
    b->insertText("\n");
    ui.settle();
    EXPECT_TRUE(text->isFirstResponder());
    EXPECT_EQ(text->returnKeyType(), ReturnKeyType::Done);
    // A newline in the last text view ends editing and is still typed.
    text->insertText("\n");
    ui.settle();
    EXPECT_FALSE(text->isFirstResponder());
    EXPECT_EQ(text->text(), "\n");

    // A delegate that refuses the return keeps the focus.
    forwarded->allowReturn = false;
    ASSERT_TRUE(a->becomeFirstResponder());
    ui.settle();
    a->insertText("\n");
    ui.settle();
    EXPECT_TRUE(a->isFirstResponder());
    forwarded->allowReturn = true;

    // A field outside its own list (here: disabled, so not focusable) resigns.
    handler->goToNextResponderOrResign(*a);
    ui.settle();
    EXPECT_TRUE(b->isFirstResponder());
    b->setEnabled(false);
    handler->goToNextResponderOrResign(*b);
    ui.settle();
    EXPECT_FALSE(b->isFirstResponder());

    // Removing a field gives back what it had; a field never added changes nothing.
    auto stranger = field(root, 300);
    handler->removeTextFieldView(*stranger);
    handler->removeTextFieldView(*a);
    EXPECT_EQ(a->delegate(), own);
    EXPECT_EQ(a->returnKeyType(), ReturnKeyType::Go);
    EXPECT_FALSE(handler->handles(*a));
    handler.reset();
    EXPECT_FALSE(b->delegate());
    EXPECT_EQ(b->returnKeyType(), ReturnKeyType::Default);
    EXPECT_FALSE(text->delegate());
}
