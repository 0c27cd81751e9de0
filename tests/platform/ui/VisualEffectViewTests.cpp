#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Color.h"
#include "platform/ui/Layer.h"
#include "platform/ui/VisualEffectView.h"
#include "tests/support/ReferenceImage.h"

using namespace ql;
using namespace ql::ui;

namespace {

// Black on the left half, white on the right, with a light blur view over the middle that holds a small
// red square.
struct Scene {
    std::shared_ptr<View> root = std::make_shared<View>(cg::Rect{0, 0, 100, 60});
    std::shared_ptr<VisualEffectView> blur =
        std::make_shared<VisualEffectView>(BlurEffect::effectWithStyle(BlurEffectStyle::Light), cg::Rect{10, 10, 80, 40});

    Scene() {
        root->setBackgroundColor(Color::blackColor());
        auto white = std::make_shared<View>(cg::Rect{50, 0, 50, 60});
        white->setBackgroundColor(Color::whiteColor());
        root->addSubview(white);
        auto red = std::make_shared<View>(cg::Rect{5, 5, 10, 10});
        red->setBackgroundColor(Color::redColor());
        blur->addSubview(red);
        root->addSubview(blur);
    }

    std::shared_ptr<const cg::Image> render(double scale) const {
        auto context = cg::BitmapContext::createForImage({100, 60}, false, scale);
        root->layer()->renderInContext(*context);
        return context->makeImage();
    }
};

}  // namespace

TEST(VisualEffectView, TheLightBlurShowsWhatLiesBeneathBlurredAndLightenedWithItsSubviewsSharp) {
    Scene scene;
    EXPECT_EQ(std::dynamic_pointer_cast<BlurEffect>(scene.blur->effect())->style(), BlurEffectStyle::Light);
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const auto image = scene.render(scale);
        test::saveForInspection(*image, "visual-effect-light-" + std::to_string(int(scale)) + "x");
        const auto at = [&](double x, double y) {
            return image->pixel(static_cast<int>(x * scale), static_cast<int>(y * scale));
        };
        EXPECT_EQ(at(5, 30), (cg::Image::Pixel{0, 0, 0, 255})) << "outside the view nothing changes";
        EXPECT_EQ(at(95, 30), (cg::Image::Pixel{255, 255, 255, 255}));
        EXPECT_EQ(at(20, 20), (cg::Image::Pixel{255, 0, 0, 255})) << "subviews are drawn sharp above";

        // The hard edge beneath becomes a ramp, with no step left in it, that rises across the view.
        int previous = -1;
        for (double x = 30; x <= 70; x += 1) {
            const auto p = at(x, 40);
            EXPECT_EQ(p.r, p.g) << "grey stays grey";
            EXPECT_EQ(p.g, p.b);
            EXPECT_GE(p.r, previous) << x;
            if (previous >= 0) {
                EXPECT_LE(p.r - previous, 25) << x;
            }
            previous = p.r;
        }
        EXPECT_GT(at(60, 40).r - at(40, 40).r, 60);
        // Black far from the edge is veiled white; white stays white.
        EXPECT_NEAR(at(12, 48).r, 255 * BlurEffect::kLightVeilAlpha, 12);
        EXPECT_GE(at(88, 48).r, 250);
    }
}

TEST(VisualEffectView, AnOpaqueBackgroundLeavesItsOwnColourStrongerAndLighter) {
    Scene scene;
    scene.blur->setBackgroundColor(Color::colorWithRed(200 / 255.0, 100 / 255.0, 50 / 255.0, 1));
    const auto image = scene.render(2);
    const auto left = image->pixel(30, 90), right = image->pixel(170, 90);
    EXPECT_EQ(left, right) << "nothing beneath shows through";
    EXPECT_EQ(left.a, 255);
    EXPECT_GT(left.r, 200);
    EXPECT_GT(left.g, 100) << "lighter";
    EXPECT_GT(left.r - left.b, (200 - 50) * (1 - BlurEffect::kLightVeilAlpha)) << "its colour is stronger than the veil alone leaves it";
}
