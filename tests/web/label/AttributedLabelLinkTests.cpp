#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/Sandbox.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Pasteboard.h"
#include "tests/support/UIHarness.h"
#include "tests/web/label/LabelTestSupport.h"
#include "web/label/LabelArchiveForms.h"

namespace ql {
namespace {

using test::attributed;
using test::helvetica;

ns::URL url(std::string_view text) { return *ns::URL::fromString(text); }

std::shared_ptr<AttributedLabel> labelWith(std::string_view text, cg::Rect frame = {0, 0, 300, 60}) {
    auto label = std::make_shared<AttributedLabel>(frame);
    label->setNumberOfLines(0);
    label->setVerticalAlignment(LabelVerticalAlignment::Top);
    label->setText(std::optional<std::string>(std::string(text)));
    return label;
}

cg::Point centreOf(const AttributedLabel& label, ns::Range range) {
    const cg::Rect r = label.boundingRectForCharacterRange(range);
    return {cg::midX(r), cg::midY(r)};
}

ns::Value colourAt(const AttributedLabel& label, std::uint64_t index) {
    return label.attributedText()->attributeAtIndex(ct::ForegroundColorAttributeName, index);
}

TEST(AttributedLabelLinks, LaterLinksWinAndLinksWithoutLooksLeaveTheTextAlone) {
    auto label = labelWith("one two three four");
    auto first = label->addLinkToURL(url("https://a.test"), {0, 7});
    auto second = label->addLinkToURL(url("https://b.test"), {4, 9});
    EXPECT_EQ(label->linkAtCharacterIndex(5), second);
    EXPECT_EQ(label->linkAtCharacterIndex(1), first);
    EXPECT_EQ(label->linkAtCharacterIndex(label->attributedText()->length()), nullptr);
    EXPECT_EQ(label->linkAtCharacterIndex(-1), nullptr);
    EXPECT_EQ(colourAt(*label, 5).asObject<ui::Color>(), ui::Color::blueColor());
    // The label's looks come with a link added with the label's attributes.
    EXPECT_EQ(first->activeAttributes(), label->activeLinkAttributes());
    EXPECT_EQ(first->inactiveAttributes(), label->inactiveLinkAttributes());

    const ct::AttributedString before = *label->attributedText();
    auto bare = label->addLinkWithTextCheckingResult(
        ns::TextCheckingResult::phoneNumberCheckingResult({14, 4}, "555 0100"), std::nullopt);
    EXPECT_EQ(*label->attributedText(), before);
    EXPECT_FALSE(bare->activeAttributes());
    EXPECT_FALSE(bare->inactiveAttributes());
    ASSERT_EQ(label->links().size(), 3u);
    EXPECT_EQ(label->links()[2].phoneNumber, "555 0100");
    EXPECT_EQ(label->linkAtCharacterIndex(15), bare);
    // Assigning the models replaces them all.
    label->setLinkModels({first});
    EXPECT_EQ(label->links().size(), 1u);
}

TEST(AttributedLabelLinks, TheActiveLookComesAndGoesAndNeverReachesPastTheText) {
    auto label = labelWith("tap here please");
    auto link = label->addLinkToURL(url("https://tap.test"), {4, 4});
    label->setActiveLink(link);
    EXPECT_EQ(label->activeLink(), link);
    EXPECT_EQ(colourAt(*label, 5).asObject<ui::Color>(), ui::Color::redColor());
    EXPECT_FALSE(label->attributedText()->attributeAtIndex(ct::UnderlineStyleAttributeName, 5).boolValue());
    label->setActiveLink(nullptr);
    EXPECT_EQ(colourAt(*label, 5).asObject<ui::Color>(), ui::Color::blueColor());
    EXPECT_TRUE(label->attributedText()->attributeAtIndex(ct::UnderlineStyleAttributeName, 5).boolValue());

    // A link reaching past the end is kept but never restyled.
    const ct::AttributedString before = *label->attributedText();
    auto beyond = label->addLinkToURL(url("https://far.test"), {10, 40});
    EXPECT_EQ(*label->attributedText(), before);
    label->setActiveLink(beyond);
    EXPECT_EQ(*label->attributedText(), before);
    label->setActiveLink(nullptr);
    label->setTintAdjustmentMode(ui::ViewTintAdjustmentMode::Dimmed);
    EXPECT_EQ(colourAt(*label, 12).asObject<ui::Color>(), ui::Color::blackColor());

    // New text while a link is touched stays, when the touch ends, the new text.
    label->setActiveLink(link);
    label->setText(std::optional<std::string>("a new text"));
    EXPECT_EQ(label->activeLink(), nullptr);
    label->setActiveLink(nullptr);
    EXPECT_EQ(label->text(), "a new text");
}

TEST(AttributedLabelLinks, DimmedTintGreysTheLinksUnlessThereIsNoInactiveLook) {
    auto label = labelWith("grey link here");
    label->addLinkToURL(url("https://grey.test"), {5, 4});
    label->setTintAdjustmentMode(ui::ViewTintAdjustmentMode::Dimmed);
    EXPECT_EQ(colourAt(*label, 6).asObject<ui::Color>(), ui::Color::grayColor());
    EXPECT_FALSE(label->attributedText()->attributeAtIndex(ct::UnderlineStyleAttributeName, 6).boolValue());
    label->setTintAdjustmentMode(ui::ViewTintAdjustmentMode::Normal);
    EXPECT_EQ(colourAt(*label, 6).asObject<ui::Color>(), ui::Color::blueColor());
    EXPECT_TRUE(label->attributedText()->attributeAtIndex(ct::UnderlineStyleAttributeName, 6).boolValue());

    auto plain = labelWith("grey link here");
    plain->setInactiveLinkAttributes({});
    plain->addLinkToURL(url("https://grey.test"), {5, 4});
    const ct::AttributedString before = *plain->attributedText();
    plain->setTintAdjustmentMode(ui::ViewTintAdjustmentMode::Dimmed);
    EXPECT_EQ(*plain->attributedText(), before);
}

TEST(AttributedLabelLinks, FindsLinksAtPointsAndNearThem) {
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 120, 200});
    label->setNumberOfLines(0);
    label->setVerticalAlignment(LabelVerticalAlignment::Top);
    label->setLineSpacing(12);
    label->setText(std::optional<std::string>("first line\nsecond link"));
    auto link = label->addLinkToURL(url("https://second.test"), {18, 4});
    const cg::Rect first = label->boundingRectForCharacterRange({0, 10});
    const cg::Rect linkRect = label->boundingRectForCharacterRange({18, 4});
    ASSERT_GT(cg::minY(linkRect), cg::maxY(first) + 10);
    // On the link's first half of a character, and on the character before the link's end.
    EXPECT_EQ(label->characterIndexAtPoint({cg::minX(linkRect) + 2, cg::midY(linkRect)}), 18u);
    EXPECT_EQ(label->linkAtPoint({cg::minX(linkRect) + 2, cg::midY(linkRect)}), link);
    EXPECT_TRUE(label->containslinkAtPoint({cg::minX(linkRect) + 2, cg::midY(linkRect)}));
    // In the spacing between the lines there is no character; the probes still find the link.
    const cg::Point gap{cg::minX(linkRect) + 4, cg::minY(linkRect) - 5};
    EXPECT_EQ(label->characterIndexAtPoint(gap), ns::NotFound);
    EXPECT_EQ(label->linkAtPoint(gap), link);
    label->setExtendsLinkTouchArea(false);
    EXPECT_EQ(label->linkAtPoint(gap), nullptr);
    label->setExtendsLinkTouchArea(true);
    // Off the bounds: 10 points away the probes reach the link, 16 points away nothing is looked for.
    auto edge = labelWith("link", {0, 0, 200, 40});
    auto edgeLink = edge->addLinkToURL(url("https://edge.test"), {0, 4});
    const cg::Rect word = edge->boundingRectForCharacterRange({0, 4});
    EXPECT_EQ(edge->linkAtPoint({-10, cg::midY(word)}), edgeLink);
    EXPECT_EQ(edge->linkAtPoint({-16, cg::midY(word)}), nullptr);
    EXPECT_EQ(edge->characterIndexAtPoint({-1, cg::midY(word)}), ns::NotFound);
    EXPECT_EQ(edge->linkAtPoint({150, cg::midY(word)}), nullptr);
}

TEST(AttributedLabelLinks, DetectsLinksInTheBackgroundAndDropsThoseOfReplacedText) {
    ns::ManualClockScope clock;
    auto label = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 300, 60});
    label->setEnabledTextCheckingTypes(ns::TextCheckingTypeLink | ns::TextCheckingTypePhoneNumber);
    EXPECT_EQ(label->dataDetectorTypes(), ns::TextCheckingTypeLink | ns::TextCheckingTypePhoneNumber);
    label->setText(std::optional<std::string>("Visit https://books.test or call 555-010-0199"));
    // Nothing is waited for: the finds arrive on the main queue later.
    EXPECT_TRUE(label->links().empty());
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return label->links().size() == 2; }, 5));
    EXPECT_EQ(label->links()[0].URL->absoluteString(), "https://books.test");
    EXPECT_EQ(label->links()[1].phoneNumber, "555-010-0199");
    EXPECT_EQ(colourAt(*label, 8).asObject<ui::Color>(), ui::Color::blueColor());

    label->setText(std::optional<std::string>("Old text at https://old.test"));
    label->setText(std::optional<std::string>("New text at https://new.test"));
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return !label->links().empty(); }, 5));
    ASSERT_EQ(label->links().size(), 1u);
    EXPECT_EQ(label->links()[0].URL->absoluteString(), "https://new.test");

    // A label gone before its detection ends is not reached; a later label's finds still arrive.
    auto brief = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 300, 60});
    brief->setEnabledTextCheckingTypes(ns::TextCheckingTypeLink);
    brief->setText(std::optional<std::string>("see https://gone.test"));
    brief.reset();
    auto later = std::make_shared<AttributedLabel>(cg::Rect{0, 0, 300, 60});
    later->setEnabledTextCheckingTypes(ns::TextCheckingTypeLink);
    later->setEnabledTextCheckingTypes(ns::TextCheckingTypeLink);
    later->setText(std::optional<std::string>("see https://later.test"));
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return !later->links().empty(); }, 5));
    // Detection off: no finds.
    later->setEnabledTextCheckingTypes(0);
    later->setText(std::optional<std::string>("see https://off.test"));
    EXPECT_TRUE(later->links().empty());
}

TEST(AttributedLabelLinks, AccessibilityHasAnElementPerLinkInsideTheTextAndOneForTheLabel) {
    auto label = labelWith("docs at https://docs.test and call 555 0100 today");
    label->addLinkToURL(url("https://docs.test"), {8, 17});
    label->addLinkToPhoneNumber("+1 555 0100", {35, 8});
    label->addLinkToDate(ns::Date::fromTimeIntervalSince1970(0), {44, 5});
    label->addLinkToURL(url("https://outside.test"), {40, 100});
    ASSERT_EQ(label->accessibilityElementCount(), 4);
    auto docs = label->accessibilityElementAtIndex(0);
    EXPECT_EQ(docs->label, "https://docs.test");
    EXPECT_FALSE(docs->value);
    EXPECT_TRUE(docs->isLink);
    auto phone = label->accessibilityElementAtIndex(1);
    EXPECT_EQ(phone->label, "555 0100");
    EXPECT_EQ(phone->value, "+1 555 0100");
    EXPECT_FALSE(cg::rectIsEmpty(phone->frame));
    EXPECT_TRUE(cg::rectContainsRect(label->bounds(), phone->frame));
    // Set once for all links, each frame is still that of its own characters.
    EXPECT_EQ(phone->frame, label->boundingRectForCharacterRange({35, 8}));
    EXPECT_EQ(docs->frame, label->boundingRectForCharacterRange({8, 17}));
    EXPECT_NE(docs->frame, phone->frame);
    auto date = label->accessibilityElementAtIndex(2);
    EXPECT_EQ(date->label, "today");
    EXPECT_TRUE(date->value && !date->value->empty());
    auto whole = label->accessibilityElementAtIndex(3);
    EXPECT_FALSE(whole->isLink);
    EXPECT_EQ(whole->label, label->text());
    EXPECT_EQ(whole->frame, label->bounds());
    EXPECT_FALSE(label->accessibilityElementAtIndex(4));
    // Each element is found where it stands; one that is not among them is not found.
    for (std::int64_t i = 0; i < 4; ++i) EXPECT_EQ(label->indexOfAccessibilityElement(*label->accessibilityElementAtIndex(i)), i);
    LabelAccessibilityElement stranger = *phone;
    stranger.label = "555 0199";
    EXPECT_EQ(label->indexOfAccessibilityElement(stranger), static_cast<std::int64_t>(ns::NotFound));
    // New links drop the cached elements.
    label->addLinkToURL(url("https://again.test"), {0, 4});
    EXPECT_EQ(label->accessibilityElementCount(), 5);
}

TEST(AttributedLabelLinks, ARangeWhoseEndWrapsPastTheLargestIndexIsOutsideTheText) {
    // location + length overflows to a small number: such a range still lies beyond the text.
    const ns::Range wrapping{UINT64_MAX - 1, 4};
    auto label = labelWith("tap here please");
    const ct::AttributedString before = *label->attributedText();
    std::shared_ptr<AttributedLabelLink> link;
    ASSERT_NO_THROW(link = label->addLinkToURL(url("https://wrap.test"), wrapping));
    EXPECT_EQ(*label->attributedText(), before);
    ASSERT_NO_THROW(label->setActiveLink(link));
    EXPECT_EQ(*label->attributedText(), before);
    label->setActiveLink(nullptr);
    ASSERT_NO_THROW(label->setTintAdjustmentMode(ui::ViewTintAdjustmentMode::Dimmed));
    EXPECT_EQ(label->accessibilityElementCount(), 1);

    // An archived run with such a range is left out; the text and the other runs come back.
    ns::Value form(ns::Dictionary{
        {"string", ns::Value("abc")},
        {"runs", ns::Value(ns::Array{
                     ns::Value(ns::Dictionary{{"range", ns::Value("{18446744073709551614, 4}")},
                                              {"attributes", ns::Value(ns::Dictionary{{"a", ns::Value(1)}})}}),
                     ns::Value(ns::Dictionary{{"range", ns::Value("{1, 2}")},
                                              {"attributes", ns::Value(ns::Dictionary{{"b", ns::Value(2)}})}})})}});
    std::optional<ct::AttributedString> text;
    ASSERT_NO_THROW(text = label_archive::attributedStringFromForm(form));
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "abc");
    EXPECT_TRUE(text->attributeAtIndex("a", 0).isNil());
    EXPECT_EQ(text->attributeAtIndex("b", 2).int64Value(), 2);
}

// Records what the label tells its delegate; answers only the forms it is told to.
struct Recorder : AttributedLabelDelegate {
    bool answersURL = true;
    bool answersPlainDate = true;
    std::vector<std::string> calls;
    cg::Point lastPoint;

    bool didSelectLinkWithURL(AttributedLabel&, const ns::URL& url) override {
        if (!answersURL) return false;
        calls.push_back("url " + url.absoluteString());
        return true;
    }
    bool didSelectLinkWithDate(AttributedLabel&, ns::Date) override {
        if (!answersPlainDate) return false;
        calls.push_back("date");
        return true;
    }
    bool didSelectLinkWithTextCheckingResult(AttributedLabel&, const ns::TextCheckingResult& result) override {
        calls.push_back("result " + std::to_string(result.resultType));
        return true;
    }
    bool didLongPressLinkWithURL(AttributedLabel&, const ns::URL& url, cg::Point point) override {
        calls.push_back("long url " + url.absoluteString());
        lastPoint = point;
        return true;
    }
};

struct TouchSetting {
    test::UIHarness harness;
    std::shared_ptr<AttributedLabel> label = labelWith("read the story and the poem", {20, 100, 280, 40});
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<AttributedLabelLink> story;

    TouchSetting() {
        harness.root->view()->addSubview(label);
        label->setDelegate(recorder);
        story = label->addLinkToURL(url("https://story.test"), {9, 5});
        harness.settle();
    }
    // A point of the screen over the characters.
    cg::Point at(ns::Range range) const { return label->convertPointToView(centreOf(*label, range), nullptr); }
};

TEST(AttributedLabelTouches, TapsReachTheDelegateAfterTheLinkLooksNormalAgain) {
    TouchSetting s;
    auto finger = s.harness.fingers.down(s.at({10, 2}));
    ASSERT_TRUE(finger);
    EXPECT_EQ(s.label->activeLink(), s.story);
    EXPECT_EQ(colourAt(*s.label, 10).asObject<ui::Color>(), ui::Color::redColor());
    s.harness.fingers.up(finger);
    EXPECT_EQ(s.label->activeLink(), nullptr);
    EXPECT_EQ(colourAt(*s.label, 10).asObject<ui::Color>(), ui::Color::blueColor());
    EXPECT_EQ(s.recorder->calls, (std::vector<std::string>{"url https://story.test"}));

    // Off the link and back again: nothing is reported.
    s.recorder->calls.clear();
    finger = s.harness.fingers.down(s.at({10, 2}));
    s.harness.fingers.move(finger, s.at({23, 3}));
    EXPECT_EQ(s.label->activeLink(), nullptr);
    s.harness.fingers.move(finger, s.at({10, 2}));
    EXPECT_EQ(s.label->activeLink(), nullptr);
    s.harness.fingers.up(finger);
    EXPECT_TRUE(s.recorder->calls.empty());

    // A touch just beside the link still takes it.
    const cg::Rect word = s.label->boundingRectForCharacterRange({9, 5});
    EXPECT_TRUE(s.harness.fingers.tap(s.label->convertPointToView({cg::midX(word), cg::maxY(word) + 6}, nullptr)));
    EXPECT_EQ(s.recorder->calls.size(), 1u);
}

TEST(AttributedLabelTouches, BlocksAndFallbacksTakeTheTapsTheDelegateDoesNotAnswer) {
    TouchSetting s;
    int blockCalls = 0;
    s.story->setLinkTapBlock([&](AttributedLabel& label, AttributedLabelLink& link) {
        ++blockCalls;
        EXPECT_EQ(&label, s.label.get());
        EXPECT_EQ(&link, s.story.get());
    });
    s.harness.fingers.tap(s.at({10, 2}));
    EXPECT_EQ(blockCalls, 1);
    EXPECT_TRUE(s.recorder->calls.empty());
    EXPECT_EQ(s.label->activeLink(), nullptr);

    // A date with a time zone reaches the plain date form, and without it the result form.
    s.label->addLinkToDate(ns::Date::now(), *ns::TimeZone::named("Asia/Shanghai"), 3600, {23, 4});
    s.harness.fingers.tap(s.at({24, 2}));
    s.recorder->answersPlainDate = false;
    s.harness.fingers.tap(s.at({24, 2}));
    // A kind outside the table reaches only the result form.
    s.label->addLinkWithTextCheckingResult(ns::TextCheckingResult::checkingResult(ns::TextCheckingTypeSpelling, {0, 4}));
    s.harness.fingers.tap(s.at({1, 2}));
    EXPECT_EQ(s.recorder->calls, (std::vector<std::string>{"date", "result 8", "result 2"}));
}

TEST(AttributedLabelTouches, LongPressesReportTheLinkAndThePoint) {
    TouchSetting s;
    const cg::Point point = s.at({10, 2});
    auto finger = s.harness.fingers.down(point);
    s.harness.advance(0.6);
    s.harness.fingers.up(finger);
    ASSERT_FALSE(s.recorder->calls.empty());
    EXPECT_EQ(s.recorder->calls.front(), "long url https://story.test");
    const cg::Point inLabel = s.label->convertPointFromView(point, nullptr);
    EXPECT_NEAR(s.recorder->lastPoint.x, inLabel.x, 1e-9);
    EXPECT_NEAR(s.recorder->lastPoint.y, inLabel.y, 1e-9);

    // A press that starts off every link is never recognised.
    s.recorder->calls.clear();
    finger = s.harness.fingers.down(s.at({0, 2}));
    s.harness.advance(0.6);
    s.harness.fingers.up(finger);
    EXPECT_TRUE(s.recorder->calls.empty());
    EXPECT_NE(s.label->longPressGestureRecognizer()->state(), ui::GestureRecognizerState::Began);

    // A long-press block stands in for the delegate.
    int pressed = 0;
    s.story->setLinkLongPressBlock([&](AttributedLabel&, AttributedLabelLink&) { ++pressed; });
    finger = s.harness.fingers.down(point);
    s.harness.advance(0.6);
    s.harness.fingers.up(finger);
    EXPECT_EQ(pressed, 1);
}

TEST(AttributedLabelTouches, OnlyAVisibleInteractiveLabelClaimsTouchesAndItCopiesItsText) {
    ns::TemporarySandbox sandbox;  // the general pasteboard stays this test's own
    TouchSetting s;
    const cg::Point onLink = centreOf(*s.label, {10, 2});
    EXPECT_EQ(s.label->hitTest(onLink, nullptr), s.label.get());
    // Beside the bounds but within a link's reach the label takes the touch; further off it does not.
    const cg::Rect word = s.label->boundingRectForCharacterRange({9, 5});
    EXPECT_EQ(s.label->hitTest({cg::midX(word), -8}, nullptr), s.label.get());
    EXPECT_EQ(s.label->hitTest({cg::midX(word), -30}, nullptr), nullptr);
    s.label->setAlpha(0.005);
    EXPECT_NE(s.label->hitTest(onLink, nullptr), s.label.get());
    s.label->setAlpha(1);
    s.label->setHidden(true);
    EXPECT_NE(s.label->hitTest(onLink, nullptr), s.label.get());
    s.label->setHidden(false);
    s.label->setUserInteractionEnabled(false);
    EXPECT_NE(s.label->hitTest(onLink, nullptr), s.label.get());

    EXPECT_TRUE(s.label->canBecomeFirstResponder());
    EXPECT_TRUE(s.label->canPerformAction("copy:"));
    EXPECT_FALSE(s.label->canPerformAction("paste:"));
    s.label->copy();
    EXPECT_EQ(ui::Pasteboard::generalPasteboard()->string(), "read the story and the poem");
}

}  // namespace
}  // namespace ql
