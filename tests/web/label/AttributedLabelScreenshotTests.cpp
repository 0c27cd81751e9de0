#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/GeometryValue.h"
#include "tests/support/ReferenceImage.h"
#include "tests/support/UIHarness.h"
#include "tests/web/label/LabelTestSupport.h"

namespace ql {
namespace {

struct Device {
    const char* name;
    cg::Size size;
};

constexpr Device Devices[] = {{"iphone4", {320, 480}},  {"iphone5", {320, 568}}, {"iphone6", {375, 667}},
                              {"iphone6p", {414, 736}}, {"ipad", {768, 1024}}};

const std::string Passage =
    "小狐狸在森林里找到一本书。The little fox found a book in the forest and read it aloud to the owls. "
    "读完以后，它把书送回了图书馆 https://library.test 。Call 555-010-0199 to borrow it on 2027-04-01.";

std::shared_ptr<const cg::Image> renderWindow(test::UIHarness& harness) {
    harness.settle();
    const cg::Size size = harness.window->bounds().size;
    auto context = cg::BitmapContext::createForImage(size, true, 2);
    context->setFillColor(cg::Color::gray(1));
    context->fillRect({{0, 0}, size});
    harness.window->layer()->renderInContext(*context);
    return context->makeImage();
}

TEST(AttributedLabelScreenshots, ChineseAndLatinTextWithLinksFitsEveryDevice) {
    for (const Device& device : Devices) {
        SCOPED_TRACE(device.name);
        test::UIHarness harness({0, 0, device.size.width, device.size.height});
        harness.root->view()->setBackgroundColor(ui::Color::whiteColor());
        const double width = device.size.width - 32;

        auto label = std::make_shared<AttributedLabel>(cg::Rect{16, 40, width, 10});
        label->setNumberOfLines(0);
        label->setFont(ui::Font::systemFontOfSize(17));
        label->setLineSpacing(4);
        label->setEnabledTextCheckingTypes(ns::TextCheckingTypeLink | ns::TextCheckingTypePhoneNumber |
                                           ns::TextCheckingTypeDate);
        label->setText(std::optional<std::string>(Passage));
        ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return label->links().size() == 3; }, 5));
        const cg::Size fits = label->sizeThatFits({width, 100000});
        EXPECT_LE(fits.width, width);
        label->setFrame({16, 40, width, fits.height});
        harness.root->view()->addSubview(label);

        // A one-line label cut at the tail, with a highlighted box behind one word and a struck word.
        auto line = std::make_shared<AttributedLabel>(cg::Rect{16, 60 + fits.height, width, 30});
        line->setLineBreakMode(ui::LineBreakMode::TruncatingTail);
        line->setText(std::string_view("重要 notice: the library closes early today, 图书馆今天提前关门，请大家注意时间安排"),
                      [](ct::AttributedString text) {
                          text.addAttribute(LabelBackgroundFillColor, ns::Value(ui::Color::yellowColor()), {0, 2});
                          text.addAttribute(LabelBackgroundCornerRadius, ns::Value(4), {0, 2});
                          text.addAttribute(LabelBackgroundFillPadding,
                                            ui::GeometryValue::valueWithUIEdgeInsets({0, 3, 0, 3}), {0, 2});
                          text.addAttribute(LabelStrikeOutAttribute, ns::Value(true), {30, 5});
                          return text;
                      });
        harness.root->view()->addSubview(line);

        auto image = renderWindow(harness);
        test::saveForInspection(*image, std::string("label-") + device.name);
        // Links are blue, the box yellow, and no ink leaves the labels' columns.
        EXPECT_GT(test::pixelsNear(*image, {0, 0, 2 * device.size.width, 2 * device.size.height}, {0, 0, 1, 1}, 90), 100);
        EXPECT_GT(test::pixelsNear(*image, {0, 0, 2 * device.size.width, 2 * device.size.height}, {1, 1, 0, 1}, 40), 100);
        const test::InkBounds ink = test::inkBounds(*image);
        ASSERT_FALSE(ink.empty());
        EXPECT_GE(ink.left, 2 * 16 - 2);
        EXPECT_LE(ink.right, 2 * (16 + width) + 2);
        // The one-line label's strike and box stay on its one line.
        EXPECT_LE(ink.bottom, 2 * (60 + fits.height + 30));
    }
}

// A pupil's page of mixed scripts: Chinese, Latin, Hebrew and Arabic in one paragraph with a name
// carrying emoji, a right-to-left paragraph with a box and a strike, and a right-to-left line cut short.
TEST(AttributedLabelScreenshots, MixedScriptsAndEmojiFitEveryDevice) {
    auto colourful = [](const cg::Image& image, const cg::Rect& area) {
        int count = 0;
        for (int y = static_cast<int>(area.origin.y); y < static_cast<int>(cg::maxY(area)); ++y)
            for (int x = static_cast<int>(area.origin.x); x < static_cast<int>(cg::maxX(area)); ++x) {
                const auto p = image.pixel(x, y);
                if (std::abs(p.r - p.b) > 100 && p.g > 120) ++count;  // the faces' yellow and orange
            }
        return count;
    };
    for (const Device& device : Devices) {
        SCOPED_TRACE(device.name);
        test::UIHarness harness({0, 0, device.size.width, device.size.height});
        harness.root->view()->setBackgroundColor(ui::Color::whiteColor());
        const double width = device.size.width - 32;

        auto mixed = std::make_shared<AttributedLabel>(cg::Rect{16, 40, width, 10});
        mixed->setNumberOfLines(0);
        mixed->setFont(ui::Font::systemFontOfSize(17));
        mixed->setText(std::optional<std::string>(
            "小狐狸 Lily 读了一本书：שלום עולם 和 مرحبا بالعالم，2027 年借给了陈思远 😀👨‍👩‍👧 和 Noa 🇨🇳👍🏽。"));
        const cg::Size mixedSize = mixed->sizeThatFits({width, 100000});
        EXPECT_LE(mixedSize.width, width);
        mixed->setFrame({16, 40, width, mixedSize.height});
        harness.root->view()->addSubview(mixed);

        const double secondTop = 60 + mixedSize.height;
        auto rightToLeft = std::make_shared<AttributedLabel>(cg::Rect{16, secondTop, width, 10});
        rightToLeft->setNumberOfLines(0);
        rightToLeft->setFont(ui::Font::systemFontOfSize(17));
        rightToLeft->setTextAlignment(ui::TextAlignment::Right);
        rightToLeft->setText(std::string_view("ספר חדש בספרייה: «小王子» و مرحبا بالعالم 2027 📚 להשאלה עד יום ראשון"),
                             [](ct::AttributedString text) {
                                 const std::u16string string = text.u16string();
                                 const ns::Range word{string.find(u"חדש"), 3};
                                 text.addAttribute(LabelBackgroundFillColor, ns::Value(ui::Color::greenColor()), word);
                                 text.addAttribute(LabelBackgroundCornerRadius, ns::Value(4), word);
                                 text.addAttribute(LabelStrikeOutAttribute, ns::Value(true), {string.find(u"مرحبا"), 5});
                                 return text;
                             });
        const cg::Size rtlSize = rightToLeft->sizeThatFits({width, 100000});
        rightToLeft->setFrame({16, secondTop, width, rtlSize.height});
        harness.root->view()->addSubview(rightToLeft);

        const double thirdTop = secondTop + rtlSize.height + 20;
        auto cut = std::make_shared<AttributedLabel>(cg::Rect{16, thirdTop, width, 30});
        cut->setLineBreakMode(ui::LineBreakMode::TruncatingTail);
        cut->setTextAlignment(ui::TextAlignment::Right);
        cut->setText(std::optional<std::string>(
            "قرأ الثعلب الصغير كتابا في الغابة ثم أعاده إلى المكتبة وأخبر أصدقاءه البوم والأرانب بما تعلمه"));
        harness.root->view()->addSubview(cut);

        auto image = renderWindow(harness);
        test::saveForInspection(*image, std::string("label-mixed-") + device.name);
        const test::InkBounds ink = test::inkBounds(*image);
        ASSERT_FALSE(ink.empty());
        EXPECT_GE(ink.left, 2 * 16 - 2);
        EXPECT_LE(ink.right, 2 * (16 + width) + 2);
        EXPECT_LE(ink.bottom, 2 * (thirdTop + 30));
        // The emoji are pictures in colour, in the first label.
        EXPECT_GT(colourful(*image, {2 * 16, 2 * 40, 2 * width, 2 * mixedSize.height}), 200);
        // The box stands on the right half, by the paragraph's first words, on its first line.
        const cg::Rect second{2 * 16, 2 * secondTop, 2 * width, 2 * rtlSize.height};
        const cg::Rect rightHalf{2 * (16 + width / 2), 2 * secondTop, width, 2 * 26};
        EXPECT_GT(test::pixelsNear(*image, rightHalf, {0, 1, 0, 1}, 40), 200);
        EXPECT_EQ(test::pixelsNear(*image, second, {0, 1, 0, 1}, 40), test::pixelsNear(*image, rightHalf, {0, 1, 0, 1}, 40));
        // The cut line reaches the right edge and ends on the left with its token.
        const auto line = image->cropped({2 * 16, 2 * thirdTop, 2 * width, 60});
        const test::InkBounds lineInk = test::inkBounds(*line);
        ASSERT_FALSE(lineInk.empty());
        EXPECT_GE(lineInk.right, 2 * width - 8);
        EXPECT_LE(lineInk.left, 2 * width / 3);
    }
}

}  // namespace
}  // namespace ql
