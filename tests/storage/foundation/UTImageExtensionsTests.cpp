#include <gtest/gtest.h>


#include "platform/graphics/Image.h"
#include "platform/ui/Animation.h"
#include "platform/ui/BezierPath.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Layer.h"
#include "platform/ui/View.h"
#include "storage/foundation/UTImageExtensions.h"
#include "storage/foundation/UTViewStyling.h"
#include "tests/support/LoopbackServer.h"

namespace ql {
namespace {

using Pixel = cg::Image::Pixel;
constexpr Pixel red{255, 0, 0, 255}, blue{0, 0, 255, 255}, none{0, 0, 0, 0};

// Left half red, right half blue; `top` rows at the top are green, to tell up from down.
std::shared_ptr<ui::Image> halves(int width, int height, int top = 0) {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (y < top) rgba.insert(rgba.end(), {0, 255, 0, 255});
            else if (x < width / 2) rgba.insert(rgba.end(), {255, 0, 0, 255});
            else rgba.insert(rgba.end(), {0, 0, 255, 255});
        }
    }
    return ui::Image::imageWithCGImage(cg::Image::fromRGBA(width, height, rgba.data()));
}

// The image drawn by content mode into a transparent canvas of the given size, at scale 1.
std::shared_ptr<const cg::Image> drawn(const ui::Image& image, cg::Size canvas, ui::ContentMode mode) {
    ui::GraphicsBeginImageContextWithOptions(canvas, false, 1);
    drawInRect(image, {0, 0, canvas.width, canvas.height}, mode);
    auto result = ui::GraphicsGetImageFromCurrentImageContext();
    ui::GraphicsEndImageContext();
    return result->CGImage();
}

TEST(UTImageExtensions, DrawsByContentMode) {
    auto wide = halves(200, 100);
    auto fit = drawn(*wide, {100, 100}, ui::ContentMode::ScaleAspectFit);  // 100 x 50 at y 25
    EXPECT_EQ(fit->pixel(50, 20), none);
    EXPECT_EQ(fit->pixel(10, 30), red);
    EXPECT_EQ(fit->pixel(90, 70), blue);
    EXPECT_EQ(fit->pixel(50, 80), none);

    auto fill = drawn(*wide, {100, 100}, ui::ContentMode::ScaleAspectFill);  // 200 x 100 at x -50, clipped
    EXPECT_EQ(fill->pixel(10, 50), red);
    EXPECT_EQ(fill->pixel(45, 50), red);
    EXPECT_EQ(fill->pixel(55, 50), blue);

    // A rectangle wider than the image's proportions: fitted inside, never clipped.
    auto roomy = drawn(*wide, {300, 100}, ui::ContentMode::ScaleAspectFit);  // 200 x 100 at x 50
    EXPECT_EQ(roomy->pixel(49, 50), none);
    EXPECT_EQ(roomy->pixel(50, 0), red);
    EXPECT_EQ(roomy->pixel(249, 99), blue);
    EXPECT_EQ(roomy->pixel(250, 50), none);

    auto small = halves(20, 10, 1);
    auto top = drawn(*small, {100, 100}, ui::ContentMode::Top);
    EXPECT_EQ(top->pixel(40, 0), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(top->pixel(40, 9), red);
    EXPECT_EQ(top->pixel(39, 5), none);
    EXPECT_EQ(top->pixel(59, 9), blue);
    auto bottom = drawn(*small, {100, 100}, ui::ContentMode::Bottom);
    EXPECT_EQ(bottom->pixel(40, 90), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(bottom->pixel(40, 99), red);
    EXPECT_EQ(bottom->pixel(40, 89), none);
    auto bottomRight = drawn(*small, {100, 100}, ui::ContentMode::BottomRight);
    EXPECT_EQ(bottomRight->pixel(99, 99), blue);
    EXPECT_EQ(bottomRight->pixel(79, 99), none);

    auto stretched = drawn(*small, {100, 100}, ui::ContentMode::ScaleToFill);
    EXPECT_EQ(stretched->pixel(0, 99), red);
    EXPECT_EQ(stretched->pixel(99, 99), blue);
}

TEST(UTImageExtensions, MakesSolidTintedTiledAndScaledImages) {
    auto solid = imageWithSolidColor(*ui::Color::redColor(), {4, 3});
    ASSERT_TRUE(solid);
    EXPECT_EQ(solid->size().width, 4);
    EXPECT_EQ(solid->CGImage()->pixel(0, 0), red);
    EXPECT_FALSE(imageWithSolidColor(*ui::Color::redColor(), {0, 3}));

    // Only the opaque part of the mask takes the colour, the right way up.
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) rgba.insert(rgba.end(), {0, 0, 0, static_cast<std::uint8_t>(y < 3 ? 255 : 0)});
    auto mask = ui::Image::imageWithCGImage(cg::Image::fromRGBA(10, 10, rgba.data()));
    auto tinted = imageMaskedAndTintedWithColor(*mask, *ui::Color::blueColor());
    ASSERT_TRUE(tinted);
    EXPECT_EQ(tinted->CGImage()->pixel(5, 1), blue);
    EXPECT_EQ(tinted->CGImage()->pixel(5, 8).a, 0);

    auto grid = halves(100, 10);
    auto first = tileImageAtColumn(*grid, 0, 3, 0, 1);
    auto last = tileImageAtColumn(*grid, 2, 3, 0, 1);
    ASSERT_TRUE(first && last);
    EXPECT_EQ(first->size().width, 33);
    EXPECT_EQ(first->CGImage()->pixel(0, 5), red);
    EXPECT_EQ(last->CGImage()->pixel(32, 5), blue);  // column 98: the rightmost point is missed
    EXPECT_FALSE(tileImageAtColumn(*grid, 0, 0, 0, 1));
    EXPECT_FALSE(tileImageAtColumn(*grid, 0, 1, 0, 0));

    // The image shown 50 wide: red up to 25, blue after; the clip spans 15 to 35.
    auto clipped = tileImageInClipRect(*grid, {15, 0, 20, 5}, {0, 0, 50, 5}, 1);
    ASSERT_TRUE(clipped);
    EXPECT_EQ(clipped->CGImage()->pixel(0, 2), red);
    EXPECT_EQ(clipped->CGImage()->pixel(19, 2), blue);
    EXPECT_FALSE(tileImageInClipRect(*grid, {0, 0, 5, 5}, {0, 0, 0, 5}, 1));

    auto scaled = imageScaledToSize(*grid, {10, 20});
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->size().height, 20);
    EXPECT_EQ(scaled->CGImage()->pixel(1, 19), red);
    EXPECT_EQ(scaled->CGImage()->pixel(9, 0), blue);
}

TEST(UTImageExtensions, LoadsImagesFromURLs) {
    test::LoopbackServer server;
    auto png = ui::ImagePNGRepresentation(*halves(8, 4));
    ASSERT_TRUE(png);
    server.serveText("/cover.png", std::string(reinterpret_cast<const char*>(png->bytes()), png->length()), "image/png");
    server.serveText("/page.html", "<html></html>", "text/html");

    ns::Error error(std::string(), 0);
    auto image = imageWithContentsOfURL(*ns::URL::fromString(server.url("/cover.png")),
                                        ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData, &error);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size().width, 8);
    EXPECT_EQ(image->CGImage()->pixel(7, 3), blue);
    EXPECT_FALSE(imageWithContentsOfURL(*ns::URL::fromString(server.url("/page.html")),
                                        ns::URLRequestCachePolicy::UseProtocolCachePolicy, &error));
    EXPECT_TRUE(error.domain().empty());
    EXPECT_FALSE(imageWithContentsOfURL(*ns::URL::fromString("http://127.0.0.1:1/x.png"),
                                        ns::URLRequestCachePolicy::UseProtocolCachePolicy, &error));
    EXPECT_EQ(error.domain(), ns::URLErrorDomain);
}

TEST(UTViewStyling, SnapshotsCornersAndShadows) {
    auto view = std::make_shared<ui::View>(cg::Rect{0, 0, 30, 20});
    view->setBackgroundColor(ui::Color::redColor());
    auto child = std::make_shared<ui::View>(cg::Rect{20, 0, 10, 20});
    child->setBackgroundColor(ui::Color::blueColor());
    view->addSubview(child);
    auto snapshot = snapshotImage(*view);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->size().width, 30);
    EXPECT_EQ(snapshot->scale(), 1);
    EXPECT_EQ(snapshot->CGImage()->pixel(5, 10), red);
    EXPECT_EQ(snapshot->CGImage()->pixel(25, 10), blue);
    EXPECT_FALSE(snapshotImage(*std::make_shared<ui::View>()));

    setRoundedCornersWithRadius(*view, 6, 2, ui::Color::greenColor().get());
    EXPECT_TRUE(view->layer()->masksToBounds());
    EXPECT_EQ(view->layer()->cornerRadius(), 6);
    EXPECT_EQ(view->layer()->borderWidth(), 2);
    EXPECT_EQ(view->layer()->borderColor(), ui::Color::greenColor()->CGColor());
    setRoundedCornersWithRadius(*view, 3, 1, nullptr);
    EXPECT_EQ(view->layer()->borderColor(), ui::Color::greenColor()->CGColor());
    EXPECT_EQ(view->layer()->cornerRadius(), 3);

    addShadowWithColor(*view, ui::Color::blueColor().get(), 0.5f, 4, {1, 2});
    EXPECT_FALSE(view->layer()->masksToBounds());
    EXPECT_EQ(view->layer()->shadowOpacity(), 0.5f);
    EXPECT_EQ(view->layer()->shadowRadius(), 4);
    EXPECT_EQ(view->layer()->shadowOffset().height, 2);
    addShadowWithColor(*view, nullptr, 0.25f, 1, {0, 0});
    EXPECT_EQ(view->layer()->shadowColor(), ui::Color::blueColor()->CGColor());
}

TEST(UTViewStyling, AShadowPathCastsTheShadowAndItsChangesAnimate) {
    auto parent = std::make_shared<ui::View>(cg::Rect{0, 0, 40, 20});
    parent->setBackgroundColor(ui::Color::whiteColor());
    auto card = std::make_shared<ui::View>(cg::Rect{5, 5, 10, 10});  // draws nothing of its own
    parent->addSubview(card);
    addShadowWithColor(*card, ui::Color::blackColor().get(), 1, 0, {10, 0});
    auto darkAt = [&](int x, int y) { return snapshotImage(*parent)->CGImage()->pixel(x, y).r < 128; };
    EXPECT_FALSE(darkAt(20, 10));  // nothing drawn casts nothing

    updateShadowPathToBounds(*card, card->bounds(), 0.3);
    ASSERT_TRUE(card->layer()->shadowPath());
    EXPECT_EQ(card->layer()->shadowPath()->boundingBox(), (cg::Rect{0, 0, 10, 10}));
    EXPECT_FALSE(card->layer()->animationForKey("shadowPath"));  // nothing to animate from
    EXPECT_TRUE(darkAt(20, 10));   // the outline's shadow, ten points to the right
    EXPECT_FALSE(darkAt(10, 10));  // not the outline itself

    updateShadowPathToBounds(*card, {0, 0, 20, 10}, 0.3);
    auto animation = card->layer()->animationForKey("shadowPath");
    ASSERT_TRUE(animation);
    EXPECT_EQ(animation->keyPath(), "shadowPath");
    EXPECT_DOUBLE_EQ(animation->duration(), 0.3);
    EXPECT_EQ(animation->timingFunction(), ui::TimingFunction::EaseInEaseOut);
    auto from = std::dynamic_pointer_cast<ui::BezierPath>(animation->fromValue().asObject());
    auto to = std::dynamic_pointer_cast<ui::BezierPath>(animation->toValue().asObject());
    ASSERT_TRUE(from && to);
    EXPECT_EQ(from->CGPath().boundingBox(), (cg::Rect{0, 0, 10, 10}));
    EXPECT_EQ(to->CGPath().boundingBox(), (cg::Rect{0, 0, 20, 10}));
    EXPECT_EQ(card->layer()->shadowPath()->boundingBox(), (cg::Rect{0, 0, 20, 10}));

    card->layer()->removeAllAnimations();
    updateShadowPathToBounds(*card, {0, 0, 5, 5}, 0);
    EXPECT_FALSE(card->layer()->animationForKey("shadowPath"));
    EXPECT_EQ(card->layer()->shadowPath()->boundingBox(), (cg::Rect{0, 0, 5, 5}));
}

}  // namespace
}  // namespace ql
