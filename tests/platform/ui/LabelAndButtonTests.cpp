#include <gtest/gtest.h>

#include <cmath>

#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/StringDrawing.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

std::shared_ptr<Image> solidImage(cg::Size size, const cg::Color& color, double scale = 1) {
    auto context = cg::BitmapContext::createForImage(size, false, scale);
    context->setFillColor(color);
    context->fillRect({{0, 0}, size});
    return Image::imageWithCGImage(context->makeImage(), scale);
}

std::shared_ptr<const cg::Image> render(test::UIHarness& harness) {
    harness.settle();
    const cg::Size size = harness.window->bounds().size;
    auto context = cg::BitmapContext::createForImage(size, false, 1);
    harness.window->layer()->renderInContext(*context);
    return context->makeImage();
}

int darkPixels(const cg::Image& image, const cg::Rect& area) {
    int count = 0;
    for (int y = int(cg::minY(area)); y < int(cg::maxY(area)); ++y) {
        for (int x = int(cg::minX(area)); x < int(cg::maxX(area)); ++x) {
            const auto p = image.pixel(x, y);
            if (p.a > 200 && p.r < 100 && p.g < 100 && p.b < 100) ++count;
        }
    }
    return count;
}

}  // namespace

TEST(Label, SizesWithTheTextMeasuringAndLimitsLines) {
    auto label = std::make_shared<Label>(cg::Rect{0, 0, 100, 20});
    EXPECT_EQ(label->sizeThatFits({100, 100}), (cg::Size{0, 0}));
    EXPECT_FALSE(label->isUserInteractionEnabled());
    label->setFont(Font::systemFontOfSize(14));
    label->setText("The quick brown fox jumps over the lazy dog");
    const auto font = label->font();
    // One line: the whole text's width, whatever the width offered.
    const cg::Size line = sizeWithFont(*label->text(), *font);
    EXPECT_EQ(label->sizeThatFits({50, 0}), line);
    label->sizeToFit();
    EXPECT_EQ(label->frame().size, line);

    // Several lines wrap within the width, at most numberOfLines of them.
    label->setNumberOfLines(0);
    const cg::Size wrapped = label->sizeThatFits({100, 0});
    EXPECT_LE(wrapped.width, 100);
    EXPECT_EQ(wrapped, sizeWithFont(*label->text(), *font, {100, 0}, LineBreakMode::WordWrapping));
    const int lines = int(std::lround(wrapped.height / std::ceil(font->lineHeight())));
    EXPECT_GE(lines, 3);
    label->setNumberOfLines(2);
    const cg::Size two = label->sizeThatFits({100, 0});
    EXPECT_LT(two.height, wrapped.height);
    EXPECT_NEAR(two.height, 2 * font->lineHeight(), 2);
    label->setPreferredMaxLayoutWidth(100);
    EXPECT_EQ(label->intrinsicContentSize(), two);
}

TEST(Label, DrawsChineseTextCentredVertically) {
    test::UIHarness harness({0, 0, 200, 100}, 1);
    harness.root->view()->setBackgroundColor(Color::whiteColor());
    auto label = std::make_shared<Label>(cg::Rect{0, 0, 200, 100});
    label->setText("无网络连接");
    label->setFont(Font::systemFontOfSize(20));
    label->setTextAlignment(TextAlignment::Center);
    harness.root->view()->addSubview(label);
    auto image = render(harness);
    // Ink only in the middle band, where one line of 20-point text sits.
    EXPECT_GT(darkPixels(*image, {40, 35, 120, 30}), 50);
    EXPECT_EQ(darkPixels(*image, {0, 0, 200, 30}), 0);
    EXPECT_EQ(darkPixels(*image, {0, 70, 200, 30}), 0);
    EXPECT_EQ(darkPixels(*image, {0, 0, 35, 100}), 0);
}

TEST(Button, PlacesImageAndTitleAndDrawsTheHighlightedState) {
    test::UIHarness harness({0, 0, 200, 100}, 1);
    auto button = std::make_shared<Button>(cg::Rect{0, 0, 200, 100});
    button->setImage(solidImage({20, 20}, cg::Color::rgb(1, 0, 0, 1)), ControlStateNormal);
    button->setTitle("Go", ControlStateNormal);
    button->setTitleColor(Color::blackColor(), ControlStateNormal);
    harness.root->view()->addSubview(button);
    harness.settle();
    const cg::Rect image = button->imageView()->frame();
    const cg::Rect title = button->titleLabel()->frame();
    // Side by side, centred as a pair, each centred vertically.
    EXPECT_DOUBLE_EQ(cg::maxX(image), cg::minX(title));
    EXPECT_NEAR((cg::minX(image) + cg::maxX(title)) / 2, 100, 0.01);
    EXPECT_DOUBLE_EQ(cg::midY(image), 50);
    EXPECT_EQ(button->sizeThatFits({0, 0}).width, 20 + title.size.width);
    button->setContentEdgeInsets({5, 10, 5, 10});
    EXPECT_EQ(button->sizeThatFits({0, 0}).width, 40 + title.size.width);
    button->setContentHorizontalAlignment(ControlContentHorizontalAlignment::Left);
    button->setImageEdgeInsets({0, 4, 0, 0});
    harness.settle();
    EXPECT_DOUBLE_EQ(button->imageView()->frame().origin.x, 14);

    // Drawn: red image; darker red while highlighted (no highlighted image of its own).
    auto normal = render(harness);
    const auto red = normal->pixel(int(cg::midX(button->imageView()->frame())), 50);
    EXPECT_EQ(red, (cg::Image::Pixel{255, 0, 0, 255}));
    button->setHighlighted(true);
    auto pressed = render(harness);
    const auto dark = pressed->pixel(int(cg::midX(button->imageView()->frame())), 50);
    EXPECT_LT(dark.r, 200);
    EXPECT_EQ(dark.a, 255);
    // With its own highlighted image, that one is shown as it is.
    button->setImage(solidImage({20, 20}, cg::Color::rgb(0, 0, 1, 1)), ControlStateHighlighted);
    auto own = render(harness);
    EXPECT_EQ(own->pixel(int(cg::midX(button->imageView()->frame())), 50), (cg::Image::Pixel{0, 0, 255, 255}));
    button->setHighlighted(false);
    EXPECT_EQ(button->currentImage(), button->imageForState(ControlStateNormal));

    // Subclasses place the parts themselves.
    struct Radio : Button {
        using Button::Button;
        cg::Rect imageRectForContentRect(const cg::Rect& content) const override {
            return {0, (content.size.height - 16) * 0.5, 16, 16};
        }
    };
    auto radio = std::make_shared<Radio>(cg::Rect{0, 0, 100, 100});
    radio->setImage(solidImage({16, 16}, cg::Color::gray(0, 1)), ControlStateNormal);
    radio->layoutIfNeeded();
    EXPECT_EQ(radio->imageView()->frame(), (cg::Rect{0, 42, 16, 16}));

    // A system button draws its title in the tint colour.
    auto system = Button::buttonWithType(ButtonType::System);
    system->setTitle("Tint", ControlStateNormal);
    system->setTintColor(Color::colorWithRed(0, 0, 1, 1));
    EXPECT_TRUE(system->currentTitleColor()->isEqual(*Color::colorWithRed(0, 0, 1, 1)));
    // An image view made for an image is as large as the image in points (20 × 20 pixels at 2×).
    auto view = std::make_shared<ImageView>(solidImage({10, 10}, cg::Color::rgb(0, 1, 0, 1), 2));
    EXPECT_EQ(view->frame().size, (cg::Size{10, 10}));
    EXPECT_EQ(view->image()->CGImage()->width(), 20);
}

TEST(Button, AnImageOfNoSizeIsShownAsItIsAndLeavesTheCallersContextAlone) {
    // Tinting needs a context of the image's size; an image without one is shown untinted, and a context
    // the caller has begun (a snapshot being drawn, say) is neither drawn into nor ended.
    auto button = Button::buttonWithType(ButtonType::System);
    button->setFrame({0, 0, 40, 40});
    const auto empty = std::make_shared<Image>(nullptr, 1, ImageOrientation::Up);
    button->setImage(empty, ControlStateNormal);
    ImageContextScope outer({5, 5}, false, 1);
    ASSERT_TRUE(outer.context());
    button->layoutIfNeeded();
    EXPECT_EQ(GraphicsGetCurrentContext(), outer.context());
    EXPECT_EQ(button->imageView()->image(), empty);
}
