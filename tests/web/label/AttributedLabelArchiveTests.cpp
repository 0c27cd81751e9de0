#include <gtest/gtest.h>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/RunLoop.h"
#include "platform/text/ParagraphStyleObject.h"
#include "tests/web/label/LabelTestSupport.h"

namespace ql {
namespace {

using test::attributed;
using test::helvetica;

template <class T>
std::shared_ptr<T> roundTrip(const std::shared_ptr<T>& object) {
    ns::Error error("", 0);
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(object), &error);
    EXPECT_TRUE(data) << error.localizedDescription();
    if (!data) return nullptr;
    return ns::KeyedUnarchiver::unarchiveObjectWithData(*data, &error).asObject<T>();
}

TEST(AttributedLabelArchive, ALabelComesBackWithItsLinksLooksAndSettings) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{10, 20, 280, 80});
    label->setFont(helvetica(15));
    label->setNumberOfLines(3);
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setKern(0.1);
    label->setLineSpacing(2.5);
    label->setFirstLineIndent(4);
    label->setMinimumLineHeight(21);
    label->setMaximumLineHeight(30);
    label->setLineHeightMultiple(1.2);
    label->setShadowRadius(1.5);
    label->setHighlightedShadowColor(ui::Color::redColor());
    label->setHighlightedShadowOffset({1, 2});
    label->setTextInsets({1.0 / 3, 2, 3, 4});
    label->setVerticalAlignment(LabelVerticalAlignment::Bottom);
    label->setTruncationTokenString("...");
    label->setLinkBackgroundEdgeInset({0.5, -1, 0, -1.25});
    label->setText(std::optional<std::string>("A story about 小狐狸 at https://fox.test"));
    auto link = label->addLinkToURL(*ns::URL::fromString("https://fox.test"), {21, 16});
    link->setLinkTapBlock([](AttributedLabel&, AttributedLabelLink&) {});
    label->addLinkToPhoneNumber("555 0100", {0, 1});

    auto back = roundTrip(label);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->frame(), label->frame());
    EXPECT_EQ(back->font()->pointSize(), 15);
    EXPECT_EQ(back->numberOfLines(), 3);
    EXPECT_EQ(back->textAlignment(), ui::TextAlignment::Center);
    EXPECT_EQ(back->kern(), static_cast<double>(0.1f));
    EXPECT_NE(back->kern(), 0.1);
    EXPECT_EQ(back->lineSpacing(), 2.5);
    EXPECT_EQ(back->firstLineIndent(), 4);
    EXPECT_EQ(back->minimumLineHeight(), 21);
    EXPECT_EQ(back->maximumLineHeight(), 30);
    EXPECT_EQ(back->lineHeightMultiple(), static_cast<double>(1.2f));
    EXPECT_EQ(back->shadowRadius(), 1.5);
    EXPECT_TRUE(back->highlightedShadowColor()->isEqual(*ui::Color::redColor()));
    EXPECT_EQ(back->highlightedShadowOffset(), (cg::Size{1, 2}));
    EXPECT_EQ(back->textInsets(), (cg::EdgeInsets{1.0 / 3, 2, 3, 4})) << "kept to the last digit";
    EXPECT_EQ(back->verticalAlignment(), LabelVerticalAlignment::Bottom);
    EXPECT_EQ(back->truncationTokenString(), "...");
    EXPECT_EQ(back->linkBackgroundEdgeInset(), (cg::EdgeInsets{0.5, -1, 0, -1.25}));
    EXPECT_EQ(back->text(), label->text());
    ASSERT_TRUE(back->attributedText());
    EXPECT_EQ(back->attributedText()->string(), label->attributedText()->string());
    EXPECT_TRUE(back->attributedText()->attributeAtIndex(ct::FontAttributeName, 3).asObject()->isEqual(*helvetica(15)));
    EXPECT_TRUE(back->attributedText()
                    ->attributeAtIndex(ct::ForegroundColorAttributeName, 30)
                    .asObject()
                    ->isEqual(*ui::Color::blueColor()));
    const auto paragraph =
        back->attributedText()->attributeAtIndex(ct::ParagraphStyleAttributeName, 0).asObject<ct::ParagraphStyleObject>();
    ASSERT_TRUE(paragraph);
    EXPECT_EQ(paragraph->style().alignment, ct::TextAlignment::Center);
    EXPECT_EQ(paragraph->style().minimumLineHeight, 21);

    ASSERT_EQ(back->linkModels().size(), 2u);
    const auto& fox = back->linkModels()[0];
    EXPECT_EQ(fox->result().range(), (ns::Range{21, 16}));
    EXPECT_EQ(fox->result().URL->absoluteString(), "https://fox.test");
    EXPECT_TRUE((*fox->attributes())[ct::UnderlineStyleAttributeName].boolValue());
    EXPECT_TRUE((*fox->activeAttributes())[ct::ForegroundColorAttributeName].asObject()->isEqual(*ui::Color::redColor()));
    EXPECT_EQ(fox->accessibilityValue(), "https://fox.test");
    EXPECT_FALSE(fox->linkTapBlock());
    EXPECT_EQ(back->linkModels()[1]->result().phoneNumber, "555 0100");
    EXPECT_TRUE(back->linkAttributes()[ct::UnderlineStyleAttributeName].boolValue());
    EXPECT_TRUE(back->inactiveLinkAttributes()[ct::ForegroundColorAttributeName].asObject()->isEqual(*ui::Color::grayColor()));
}

TEST(AttributedLabelArchive, BaseTextAloneIsStyledAndDetectedWhenRead) {
    ns::ManualClockScope clock;
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 280, 40});
    label->setFont(helvetica(21));
    label->setEnabledTextCheckingTypes(ns::TextCheckingTypeLink);
    label->ui::Label::setText(std::optional<std::string>("read https://plain.test"));
    ASSERT_FALSE(label->attributedText());
    auto back = roundTrip(label);
    ASSERT_TRUE(back && back->attributedText());
    EXPECT_TRUE(back->attributedText()->attributeAtIndex(ct::FontAttributeName, 0).asObject()->isEqual(*helvetica(21)));
    EXPECT_EQ(back->enabledTextCheckingTypes(), ns::TextCheckingTypeLink);
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return !back->links().empty(); }, 5));
    EXPECT_EQ(back->links()[0].URL->absoluteString(), "https://plain.test");
}

TEST(AttributedLabelArchive, ATruncationTokenCarryingALinkAddsItOnce) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 160, 40});
    label->setNumberOfLines(1);
    label->setLineBreakMode(ui::LineBreakMode::TruncatingTail);
    label->setText(std::optional<std::string>("A very long story that goes on and on"));
    ct::AttributedString token = attributed("…more");
    token.addAttribute(ui::LinkAttributeName, ns::Value("https://more.test"), {0, token.length()});
    label->setAttributedTruncationToken(token);
    test::drawLabel(*label);
    test::drawLabel(*label);
    test::drawLabel(*label);
    ASSERT_EQ(label->links().size(), 1u);
    const ns::Range range = label->links()[0].range();
    EXPECT_EQ(range.length, token.length());
    EXPECT_EQ(label->links()[0].URL->absoluteString(), "https://more.test");
    EXPECT_LT(range.end(), label->attributedText()->length());
}

}  // namespace
}  // namespace ql
