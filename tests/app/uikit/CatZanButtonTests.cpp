// The like button: its pictures by state, the tap's flip and handler, the spring pop, and the particle
// burst only on becoming liked.

#include <gtest/gtest.h>

#include "app/uikit/CatZanButton.h"
#include "platform/graphics/Context.h"
#include "platform/ui/Animation.h"
#include "platform/ui/GraphicsContext.h"
#include "tests/support/UIHarness.h"

using namespace ql;

namespace {

std::shared_ptr<ui::Image> picture(double grey) {
    ui::GraphicsBeginImageContextWithOptions({10, 10}, true, 1);
    ui::GraphicsGetCurrentContext()->setFillColor(cg::Color::gray(grey, 1));
    ui::GraphicsGetCurrentContext()->fillRect({0, 0, 10, 10});
    auto image = ui::GraphicsGetImageFromCurrentImageContext();
    ui::GraphicsEndImageContext();
    return image;
}

}  // namespace

TEST(CatZanButton, AButtonMadeBareIsSmallAndShowsTheNotLikedPicture) {
    test::UIHarness ui;
    auto button = CatZanButton::make();
    EXPECT_EQ(button->frame(), (cg::Rect{0, 0, 35, 35}));
    EXPECT_FALSE(button->isZan());
    EXPECT_EQ(button->type(), 0);
    EXPECT_EQ(button->zanImageView()->image(), ui::Image::imageNamed("book_like"));
    EXPECT_EQ(button->zanImageView()->frame(), (cg::Rect{0, 0, 35, 35}));
    ASSERT_EQ(button->effectLayer()->emitterCells().size(), 1u);
    EXPECT_EQ(button->effectCell()->name(), "zanShape");
    EXPECT_EQ(button->effectCell()->birthRate(), 0);  // no particles at rest
    EXPECT_EQ(button->effectLayer()->emitterSize(), (cg::Size{35, 35}));
}

TEST(CatZanButton, TapsFlipPopAndBurstOnlyWhenLiked) {
    test::UIHarness ui;
    auto liked = picture(0.2), notLiked = picture(0.8);
    auto button = CatZanButton::make({20, 40, 60, 60}, liked, notLiked);
    ui.root->view()->addSubview(button);
    ui.settle();

    // Setting the state from data shows the picture and says nothing.
    int calls = 0;
    button->setClickHandler([&](CatZanButton& b) {
        ++calls;
        EXPECT_EQ(&b, button.get());
    });
    button->setIsZan(true);
    EXPECT_EQ(button->zanImageView()->image(), liked);
    EXPECT_EQ(calls, 0);
    button->setIsZan(false);

    // A tap likes: the picture flips, the handler hears the new state, it pops and bursts.
    bool seenLiked = false;
    button->setClickHandler([&](CatZanButton& b) {
        ++calls;
        seenLiked = b.isZan();
    });
    ASSERT_TRUE(ui.fingers.tap(cg::Point{50, 70}));
    ui.settle();
    EXPECT_TRUE(button->isZan());
    EXPECT_TRUE(seenLiked);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(button->zanImageView()->image(), liked);
    EXPECT_EQ(button->zanImageView()->bounds(), (cg::Rect{0, 0, 60, 60}));
    auto burst = button->effectLayer()->animationForKey("emitterCells.zanShape.birthRate");
    ASSERT_TRUE(burst);
    EXPECT_EQ(burst->fromValue().doubleValue(), 100);
    EXPECT_EQ(burst->toValue().doubleValue(), 0);
    EXPECT_EQ(burst->timingFunction(), ui::TimingFunction::EaseOut);
    EXPECT_EQ(button->effectCell()->birthRate(), 0);  // the burst is shown, not kept
    ui.advance(1);
    EXPECT_FALSE(button->effectLayer()->animationForKey("emitterCells.zanShape.birthRate"));

    // A second tap takes the like back: the pop without the burst.
    ASSERT_TRUE(ui.fingers.tap(cg::Point{50, 70}));
    ui.settle();
    EXPECT_FALSE(button->isZan());
    EXPECT_FALSE(seenLiked);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(button->zanImageView()->image(), notLiked);
    EXPECT_FALSE(button->effectLayer()->animationForKey("emitterCells.zanShape.birthRate"));
    ui.advance(1);
}

TEST(CatZanButton, AnotherTypeIsAPlainToggle) {
    test::UIHarness ui;
    auto button = CatZanButton::make({20, 40, 60, 60}, picture(0.2), picture(0.8));
    ui.root->view()->addSubview(button);
    button->setType(1);
    int calls = 0;
    button->setClickHandler([&](CatZanButton&) { ++calls; });
    ui.settle();
    button->zanAnimationPlay();
    EXPECT_TRUE(button->isZan());
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(button->zanImageView()->layer()->animationKeys().empty());
    EXPECT_FALSE(button->effectLayer()->animationForKey("emitterCells.zanShape.birthRate"));
    button->zanAnimationPlay();
    EXPECT_FALSE(button->isZan());
    EXPECT_EQ(calls, 2);
}

TEST(EmitterLayer, AnEmittingCellDrawsItsPictureOnTheShape) {
    test::UIHarness ui;
    auto layer = std::make_shared<ui::EmitterLayer>();
    layer->setFrame({0, 0, 40, 40});
    layer->setEmitterShape(ui::EmitterShape::Circle);
    layer->setEmitterPosition({20, 20});
    layer->setEmitterSize({30, 30});
    auto cell = std::make_shared<ui::EmitterCell>();
    cell->setName("dot");
    cell->setContents(picture(0));
    layer->setEmitterCells({cell});
    EXPECT_EQ(layer->cellNamed("dot"), cell);
    EXPECT_EQ(layer->cellNamed("none"), nullptr);

    auto render = [&] {
        ui::GraphicsBeginImageContextWithOptions({40, 40}, true, 1);
        ui::GraphicsGetCurrentContext()->setFillColor(cg::Color::gray(1, 1));
        ui::GraphicsGetCurrentContext()->fillRect({0, 0, 40, 40});
        layer->renderInContext(*ui::GraphicsGetCurrentContext());
        auto image = ui::GraphicsGetImageFromCurrentImageContext();
        ui::GraphicsEndImageContext();
        return image;
    };
    auto darkAt = [](const ui::Image& image, int x, int y) {
        return image.CGImage()->pixel(x, y).r < 128;
    };
    auto resting = render();
    EXPECT_FALSE(darkAt(*resting, 35, 20));  // birth rate 0: nothing drawn
    cell->setBirthRate(4);
    auto emitting = render();
    EXPECT_TRUE(darkAt(*emitting, 35, 20));  // on the rim, to the right of the centre
    EXPECT_FALSE(darkAt(*emitting, 20, 20));  // not in the middle
}
