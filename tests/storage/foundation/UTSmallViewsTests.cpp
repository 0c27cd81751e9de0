#include <gtest/gtest.h>

#include "platform/graphics/Image.h"
#include "platform/ui/Layer.h"
#include "platform/ui/Device.h"
#include "platform/ui/StringDrawing.h"
#include "storage/foundation/UTActivityTitleView.h"
#include "storage/foundation/UTCustomColoredAccessory.h"
#include "storage/foundation/UTPieProgressIndicator.h"
#include "storage/foundation/UTViewStyling.h"

namespace ql {
namespace {

std::shared_ptr<const cg::Image> rendered(ui::View& view) {
    view.layer()->setNeedsDisplay();
    view.layer()->displayIfNeeded();
    return snapshotImage(view)->CGImage();
}

TEST(UTPieProgressIndicator, RingAndClockwiseSector) {
    auto pie = UTPieProgressIndicator::pieProgressIndicator();
    EXPECT_EQ(pie->frame(), (cg::Rect{0, 0, 34, 34}));
    EXPECT_EQ(pie->contentMode(), ui::ContentMode::Redraw);
    pie->setColor(ui::Color::redColor());

    // Only the ring, of diameter 28 at (3, 3): its left edge at x 3, nothing inside or outside.
    pie->setProgressPercent(0.1f);
    auto ring = rendered(*pie);
    EXPECT_EQ(ring->pixel(3, 17).r, 255);
    EXPECT_GT(ring->pixel(3, 17).a, 200);
    EXPECT_EQ(ring->pixel(17, 17).a, 0);
    EXPECT_EQ(ring->pixel(0, 17).a, 0);
    EXPECT_EQ(ring->pixel(30, 17).a, 255);

    // A quarter fills the top-right quadrant only.
    pie->setProgressPercent(0.25f);
    auto quarter = rendered(*pie);
    EXPECT_EQ(quarter->pixel(22, 12).a, 255);
    EXPECT_EQ(quarter->pixel(12, 12).a, 0);
    EXPECT_EQ(quarter->pixel(22, 22).a, 0);

    pie->setProgressPercent(1);
    auto full = rendered(*pie);
    EXPECT_EQ(full->pixel(12, 22).a, 255);
    EXPECT_EQ(full->pixel(12, 12).a, 255);

    // The same value again asks for no redraw; a new colour object does.
    EXPECT_FALSE(pie->layer()->needsDisplay());
    pie->setProgressPercent(1);
    EXPECT_FALSE(pie->layer()->needsDisplay());
    pie->setColor(ui::Color::redColor());
    EXPECT_FALSE(pie->layer()->needsDisplay());
    pie->setColor(ui::Color::colorWithRed(1, 0, 0, 1));
    EXPECT_TRUE(pie->layer()->needsDisplay());
}

TEST(UTCustomColoredAccessory, GlyphsColoursAndHighlight) {
    auto chevron = UTCustomColoredAccessory::accessoryWithColor(ui::Color::redColor());
    EXPECT_EQ(chevron->frame(), (cg::Rect{0, 0, 15, 15}));
    auto right = rendered(*chevron);
    EXPECT_EQ(right->pixel(11, 7), (cg::Image::Pixel{255, 0, 0, 255}));  // the tip, 3 points from the right
    EXPECT_EQ(right->pixel(3, 7).a, 0);
    chevron->setHighlighted(true);
    EXPECT_TRUE(chevron->layer()->needsDisplay());
    EXPECT_EQ(rendered(*chevron)->pixel(11, 7), (cg::Image::Pixel{255, 255, 255, 255}));

    chevron->setHighlighted(false);
    chevron->setType(1);
    auto left = rendered(*chevron);
    EXPECT_EQ(left->pixel(5, 7).r, 255);
    EXPECT_EQ(left->pixel(12, 7).a, 0);
    chevron->setType(9);
    EXPECT_EQ(rendered(*chevron)->pixel(11, 7).a, 0);

    // The shared black gets a white back square; a black made from components, a black one.
    EXPECT_EQ(UTCustomColoredAccessory::accessoryWithColor(ui::Color::blackColor())->backSquareAccessoryColor(),
              ui::Color::whiteColor());
    EXPECT_EQ(UTCustomColoredAccessory::accessoryWithColor(ui::Color::colorWithRed(0, 0, 0, 1))->backSquareAccessoryColor(),
              ui::Color::blackColor());

    auto squares = UTCustomColoredAccessory::squareAccessoryWithColor(ui::Color::redColor(), ui::Color::blueColor());
    auto drawn = rendered(*squares);
    EXPECT_EQ(drawn->pixel(14, 1), (cg::Image::Pixel{0, 0, 255, 255}));  // back square's top right corner
    EXPECT_EQ(drawn->pixel(3, 7), (cg::Image::Pixel{255, 0, 0, 255}));   // front square's left edge
    EXPECT_EQ(drawn->pixel(7, 7).a, 0);
    // Drawing changed no colour property.
    EXPECT_EQ(squares->accessoryColor(), ui::Color::redColor());
    squares->setBackSquareAccessoryColor(ui::Color::greenColor());
    rendered(*squares);
    EXPECT_EQ(squares->accessoryColor(), ui::Color::redColor());
    EXPECT_EQ(UTCustomColoredAccessory().accessoryColor(), ui::Color::blackColor());
    EXPECT_EQ(UTCustomColoredAccessory().highlightedColor(), ui::Color::whiteColor());
}

TEST(UTActivityTitleView, SizesToTheTitleWithTheSpinnerInFront) {
    auto& device = ui::Device::currentDevice();
    const auto idiom = device.userInterfaceIdiom();
    device.setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
    UTActivityTitleView phone;
    EXPECT_EQ(phone.activityIndicator()->activityIndicatorViewStyle(), ui::ActivityIndicatorViewStyle::White);
    EXPECT_EQ(phone.titleLabel()->textColor(), ui::Color::whiteColor());
    EXPECT_EQ(phone.titleLabel()->shadowOffset(), (cg::Size{0, -1}));

    const std::string longTitle = "A very long title for a small navigation bar, 很长的标题";
    phone.setTitle(longTitle);
    EXPECT_EQ(phone.title(), longTitle);
    const cg::Size text = ui::sizeWithFont(longTitle, *phone.titleLabel()->font());
    const double spinner = phone.activityIndicator()->frame().size.width;
    EXPECT_EQ(phone.titleLabel()->frame().origin.x, spinner + 5);
    EXPECT_EQ(phone.titleLabel()->frame().size.width, text.width);
    EXPECT_EQ(phone.bounds().size.width, text.width + spinner + 5);
    EXPECT_EQ(phone.bounds().size.height, std::max(text.height, phone.activityIndicator()->frame().size.height));
    EXPECT_GT(phone.bounds().size.width, 320);

    EXPECT_FALSE(phone.busy());
    EXPECT_TRUE(phone.activityIndicator()->isHidden());
    phone.setBusy(true);
    EXPECT_TRUE(phone.busy());
    EXPECT_FALSE(phone.activityIndicator()->isHidden());
    phone.setBusy(false);
    EXPECT_FALSE(phone.busy());

    device.setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
    UTActivityTitleView pad;
    EXPECT_EQ(pad.activityIndicator()->activityIndicatorViewStyle(), ui::ActivityIndicatorViewStyle::Gray);
    EXPECT_EQ(pad.titleLabel()->shadowColor(), ui::Color::whiteColor());
    EXPECT_EQ(pad.titleLabel()->shadowOffset(), (cg::Size{0, 1}));
    device.setUserInterfaceIdiom(idiom);
}

}  // namespace
}  // namespace ql
