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

}  // namespace
}  // namespace ql
