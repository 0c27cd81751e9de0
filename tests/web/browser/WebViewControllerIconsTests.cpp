#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/foundation/FileManager.h"
#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"
#include "web/browser/WebViewControllerIcons.h"

namespace ql {
namespace {

using Look = WebViewControllerIconLook;

// The pixel under a point of the glyph, at the screen's scale of 2.
cg::Image::Pixel at(const std::shared_ptr<ui::Image>& image, double x, double y) {
    return image->CGImage()->pixel(static_cast<int>(x * 2), static_cast<int>(y * 2));
}

bool inked(const cg::Image::Pixel& pixel) { return pixel.a > 200; }
bool clear(const cg::Image::Pixel& pixel) { return pixel.a < 30; }

struct Icons : ::testing::Test {
    void SetUp() override {
        ui::Screen::mainScreen().setScale(2);
        ui::Device::currentDevice().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
    }
    void TearDown() override { ui::Device::currentDevice().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone); }
};

TEST_F(Icons, FlatGlyphsAreBlackWhateverTheAttributes) {
    EXPECT_EQ(WebViewControllerIconLookOfPlatform(), Look::Flat);
    const ns::Dictionary red{{std::string(WebViewControllerButtonFillColor), ui::Color::redColor()}};
    const auto back = WebViewControllerIcon_backButtonWithAttributes(red);
    EXPECT_EQ(back->size(), (cg::Size{12, 21}));
    EXPECT_EQ(back->scale(), 2);
    EXPECT_EQ(ui::ImagePNGRepresentation(*back), ui::ImagePNGRepresentation(*WebViewControllerIcon_backButtonWithAttributes({})));
    // The chevron: its point at the left edge, its ends at the right corners, open in between.
    EXPECT_EQ(at(back, 1, 10.5), (cg::Image::Pixel{0, 0, 0, 255}));
    EXPECT_TRUE(inked(at(back, 11.2, 0.6)));
    EXPECT_TRUE(inked(at(back, 11.2, 20.4)));
    EXPECT_TRUE(clear(at(back, 8, 10.5)));
    const auto forward = WebViewControllerIcon_forwardButtonWithAttributes(red);
    EXPECT_TRUE(inked(at(forward, 10.5, 10.5)));
    EXPECT_TRUE(inked(at(forward, 0.8, 0.6)));
    EXPECT_TRUE(clear(at(forward, 4, 10.5)));

    const auto refresh = WebViewControllerIcon_refreshButtonWithAttributes(red);
    EXPECT_EQ(refresh->size(), (cg::Size{19, 22}));
    EXPECT_TRUE(inked(at(refresh, 0.8, 12.8)));  // the ring's left
    EXPECT_TRUE(inked(at(refresh, 9.5, 21.5)));  // its bottom
    EXPECT_TRUE(clear(at(refresh, 9.5, 12.8)));  // the hole
    EXPECT_TRUE(clear(at(refresh, 17, 11)));  // the open upper-right quarter
    EXPECT_TRUE(inked(at(refresh, 12, 4.6)));  // the arrowhead

    const auto stop = WebViewControllerIcon_stopButtonWithAttributes(red);
    EXPECT_EQ(stop->size(), (cg::Size{19, 19}));
    EXPECT_TRUE(inked(at(stop, 9.5, 9.5)));
    EXPECT_TRUE(inked(at(stop, 2.5, 16.5)));
    EXPECT_TRUE(clear(at(stop, 9.5, 3)));
    EXPECT_TRUE(clear(at(stop, 3, 9.5)));

    const auto action = WebViewControllerIcon_actionButtonWithAttributes(red);
    EXPECT_EQ(action->size(), (cg::Size{19, 30}));
    EXPECT_TRUE(inked(at(action, 3, 8.5)));  // the box's top edge
    EXPECT_TRUE(clear(at(action, 8, 8.5)));  // broken around the shaft
    EXPECT_TRUE(inked(at(action, 9.5, 8.5)));  // the shaft
    EXPECT_TRUE(inked(at(action, 9.5, 26.5)));
    EXPECT_TRUE(clear(at(action, 5, 20)));
}

TEST_F(Icons, EmbossedGlyphsTakeTheColourAndBevel) {
    // No attributes on a phone: white with a black bevel of 0.5 above, the glyph one point lower.
    EXPECT_EQ(bevelOpacityFromAttributes({}), 0.5);
    const auto white = WebViewControllerIcon_backButtonWithAttributes({}, Look::Embossed);
    EXPECT_EQ(white->size(), (cg::Size{15, 18}));
    EXPECT_EQ(at(white, 14.5, 5), (cg::Image::Pixel{255, 255, 255, 255}));
    const auto shadow = at(white, 14.5, 0.8);
    EXPECT_EQ(shadow.r, 0);
    EXPECT_NEAR(shadow.a, 128, 2);
    EXPECT_TRUE(inked(at(white, 14.5, 17.2))) << "the glyph sits one point lower";

    // On a pad: dark grey 0.35 counts as dark, so the bevel is white, 0.9 strong, below; no move.
    ui::Device::currentDevice().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
    EXPECT_DOUBLE_EQ(bevelOpacityFromAttributes({}), 0.9);
    const auto grey = WebViewControllerIcon_backButtonWithAttributes({}, Look::Embossed);
    EXPECT_NEAR(at(grey, 14.5, 5).r, 89, 1);
    EXPECT_TRUE(inked(at(grey, 14.5, 0.8)));
    const auto below = at(grey, 14.5, 17.2);
    EXPECT_NEAR(below.a, 230, 2);
    EXPECT_EQ(below.r, 255);
    EXPECT_EQ(below.b, 255);

    // A saturated bright colour counts as dark whatever its brightness; the attribute opacity is read.
    const ns::Dictionary red{{std::string(WebViewControllerButtonFillColor), ui::Color::redColor()},
                             {std::string(WebViewControllerButtonBevelOpacity), 1.0}};
    const auto stop = WebViewControllerIcon_stopButtonWithAttributes(red, Look::Embossed);
    EXPECT_EQ(stop->size(), (cg::Size{15, 16}));
    EXPECT_EQ(at(stop, 7.5, 7.5), (cg::Image::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(at(stop, 7.5, 8.7), (cg::Image::Pixel{255, 0, 0, 255}));
    const auto bevel = at(stop, 7.5, 10.1);  // the white bevel below the crossing
    EXPECT_EQ(bevel.a, 255);
    EXPECT_GT(bevel.g, 240);
    EXPECT_TRUE(clear(at(stop, 7.5, 2)));

    const auto refresh = WebViewControllerIcon_refreshButtonWithAttributes(red, Look::Embossed);
    EXPECT_EQ(refresh->size(), (cg::Size{17, 20}));
    EXPECT_EQ(at(refresh, 1, 10.9), (cg::Image::Pixel{255, 0, 0, 255}));
    EXPECT_TRUE(clear(at(refresh, 8.5, 10.9)));
    const auto action = WebViewControllerIcon_actionButtonWithAttributes(red, Look::Embossed);
    EXPECT_EQ(action->size(), (cg::Size{23, 19}));
    EXPECT_EQ(at(action, 21, 6.5), (cg::Image::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(at(action, 1, 10), (cg::Image::Pixel{255, 0, 0, 255}));
    EXPECT_TRUE(clear(at(action, 12, 2)));
    const auto forward = WebViewControllerIcon_forwardButtonWithAttributes(red, Look::Embossed);
    EXPECT_EQ(at(forward, 0.5, 8.5), (cg::Image::Pixel{255, 0, 0, 255}));
    EXPECT_TRUE(clear(at(forward, 14, 2)));

    // Shots to look at, when a folder is named.
    if (const char* folder = std::getenv("QL_BROWSER_SHOTS")) {
        const ns::Dictionary none;
        int n = 0;
        for (const auto& icon : {WebViewControllerIcon_backButtonWithAttributes(none), WebViewControllerIcon_forwardButtonWithAttributes(none),
                                 WebViewControllerIcon_refreshButtonWithAttributes(none), WebViewControllerIcon_stopButtonWithAttributes(none),
                                 WebViewControllerIcon_actionButtonWithAttributes(none), grey, stop, refresh, action, forward}) {
            ns::writeToFile(*ui::ImagePNGRepresentation(*icon), std::string(folder) + "/icon" + std::to_string(n++) + ".png", 0);
        }
    }
}

}  // namespace
}  // namespace ql
