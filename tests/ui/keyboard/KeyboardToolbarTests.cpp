#include <gtest/gtest.h>

#include <memory>

#include "platform/ui/Color.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "ui/keyboard/KBTextView.h"
#include "ui/keyboard/KBToolbar.h"
#include "ui/keyboard/KBToolbarAddition.h"

using namespace ql;
using namespace ql::ui;

namespace {

struct Receiver : ns::Object {
    int previous = 0, next = 0, done = 0;
    void onPrevious(ns::Object*) { ++previous; }
    void onNext(ns::Object*) { ++next; }
    void onDone(ns::Object*) { ++done; }
};

std::shared_ptr<KBToolbar> toolbarOf(const View& view) {
    return std::dynamic_pointer_cast<KBToolbar>(view.inputAccessoryView());
}

double titleWidth(const KBToolbar& bar) {
    for (const auto& item : bar.items()) {
        if (auto title = std::dynamic_pointer_cast<KBTitleBarButtonItem>(item)) return title->customView()->frame().size.width;
    }
    return -1;
}

}  // namespace

TEST(KeyboardToolbar, LayoutsTitlesAndEnabling) {
    Screen::mainScreen().setBounds({0, 0, 320, 480});
    auto receiver = std::make_shared<Receiver>();
    auto f = std::make_shared<TextField>(cg::Rect{0, 0, 200, 30});
    f->setPlaceholder("Mobile number");
    f->setKeyboardAppearance(KeyboardAppearance::Dark);

    addDoneOnKeyboardWithTargetActionShouldShowPlaceholder(*f, receiver, Action(&Receiver::onDone), true);
    auto done = toolbarOf(*f);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->frame().size, (cg::Size{320, 44}));
    EXPECT_EQ(done->barStyle(), BarStyle::Black);
    ASSERT_EQ(done->items().size(), 3u);
    // The title takes what the bar leaves, at most the width less the room of the layout's buttons.
    EXPECT_LE(titleWidth(*done), 320 - 76);
    done->layoutIfNeeded();
    EXPECT_LE(cg::maxX(done->itemViews().back()->frame()), 320 - Toolbar::kEdgeMargin);
    auto title = std::dynamic_pointer_cast<KBTitleBarButtonItem>(done->items()[0]);
    EXPECT_EQ(title->titleLabel()->text(), "Mobile number");
    EXPECT_FALSE(title->isEnabled());
    EXPECT_EQ(done->items()[2]->systemItem(), BarButtonSystemItem::Done);
    done->items()[2]->sendAction(nullptr);
    EXPECT_EQ(receiver->done, 1);
    // The done layout has no arrows: enabling changes nothing.
    setEnablePrevious(*f, false, false);
    EXPECT_TRUE(done->items()[2]->isEnabled());

    addPreviousNextDoneOnKeyboardWithTargetTitleText(*f, receiver, Action(&Receiver::onPrevious),
                                                     Action(&Receiver::onNext), Action(&Receiver::onDone), "Title");
    auto bar = toolbarOf(*f);
    ASSERT_EQ(bar->items().size(), 6u);
    EXPECT_LE(titleWidth(*bar), 320 - 138.5);
    bar->layoutIfNeeded();
    EXPECT_LE(cg::maxX(bar->itemViews().back()->frame()), 320 - Toolbar::kEdgeMargin);
    EXPECT_TRUE(bar->items()[1]->isFixedSpace());
    EXPECT_EQ(bar->items()[1]->width(), 23);
    setEnablePrevious(*f, false, true);
    EXPECT_FALSE(bar->items()[0]->isEnabled());
    EXPECT_TRUE(bar->items()[2]->isEnabled());
    bar->items()[2]->sendAction(nullptr);
    EXPECT_EQ(receiver->next, 1);

    // The left/right layout: items 0 and 2 are the left button and the flexible space.
    addLeftRightOnKeyboardWithTarget(*f, receiver, "L", "R", Action(&Receiver::onPrevious), Action(&Receiver::onNext));
    auto leftRight = toolbarOf(*f);
    ASSERT_EQ(leftRight->items().size(), 4u);
    EXPECT_LE(titleWidth(*leftRight), 320 - 132);
    setEnablePrevious(*f, false, false);
    EXPECT_FALSE(leftRight->items()[0]->isEnabled());
    EXPECT_FALSE(leftRight->items()[2]->isEnabled());

    // A hidden title keeps its item, without text; showing it again restores the placeholder.
    setShouldHideTitle(*f, true);
    addCancelDoneOnKeyboardWithTargetShouldShowPlaceholder(*f, receiver, Action(&Receiver::onPrevious),
                                                           Action(&Receiver::onDone), true);
    auto cancelDone = toolbarOf(*f);
    ASSERT_EQ(cancelDone->items().size(), 4u);
    EXPECT_FALSE(std::dynamic_pointer_cast<KBTitleBarButtonItem>(cancelDone->items()[1])->titleLabel()->text());
    setShouldHideTitle(*f, false);
    EXPECT_EQ(cancelDone->title(), "Mobile number");

    addRightButtonOnKeyboardWithText(*f, "Go", receiver, Action(&Receiver::onDone));
    EXPECT_LE(titleWidth(*toolbarOf(*f)), 320 - 74);
    addPreviousNextRightOnKeyboardWithTarget(*f, receiver, "Send", Action(&Receiver::onPrevious),
                                             Action(&Receiver::onNext), Action(&Receiver::onDone));
    EXPECT_EQ(toolbarOf(*f)->items()[5]->title(), "Send");

    // Styling reaches the items; titles and fonts reach the title item.
    bar->setTintColor(Color::whiteColor());
    EXPECT_EQ(bar->items()[5]->tintColor(), Color::whiteColor());
    bar->setTitleFont(Font::systemFontOfSize(9));
    EXPECT_EQ(std::dynamic_pointer_cast<KBTitleBarButtonItem>(bar->items()[3])->font()->pointSize(), 9);

    // A view that takes no accessory view gets no toolbar.
    auto plain = std::make_shared<View>();
    addDoneOnKeyboardWithTarget(*plain, receiver, Action(&Receiver::onDone));
    EXPECT_FALSE(plain->inputAccessoryView());
    setEnablePrevious(*plain, true, true);
}

TEST(KeyboardToolbar, RecordedCallsHoldTheirTargetWeakly) {
    auto f = std::make_shared<TextField>();
    auto receiver = std::make_shared<Receiver>();
    setCustomDoneTarget(*f, receiver, Action(&Receiver::onDone));
    ASSERT_TRUE(doneInvocation(*f));
    EXPECT_TRUE(doneInvocation(*f)->invoke());
    EXPECT_EQ(receiver->done, 1);
    receiver.reset();
    EXPECT_FALSE(doneInvocation(*f)->invoke());
    EXPECT_FALSE(previousInvocation(*f));
}

TEST(KeyboardToolbar, PlaceholderTextViewShowsItsPlaceholderWhileEmpty) {
    auto text = std::make_shared<KBTextView>(cg::Rect{0, 0, 200, 100});
    text->setPlaceholder("Write a note");
    ASSERT_TRUE(text->placeHolderLabel());
    EXPECT_EQ(text->placeHolderLabel()->alpha(), 1);
    EXPECT_EQ(text->placeHolderLabel()->frame().origin, (cg::Point{8, 8}));
    EXPECT_EQ(text->placeHolderLabel()->frame().size.width, 184);
    text->setText(std::string("Hello"));
    EXPECT_EQ(text->placeHolderLabel()->alpha(), 0);
    text->setText(std::nullopt);
    EXPECT_EQ(text->placeHolderLabel()->alpha(), 1);
    // Typed text is followed through the view's own change announcements.
    text->insertText("a");
    EXPECT_EQ(text->placeHolderLabel()->alpha(), 0);
    EXPECT_TRUE(answersPlaceholder(*text));
    EXPECT_EQ(placeholderOf(*text), "Write a note");
}
