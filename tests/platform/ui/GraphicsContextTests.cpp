#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace ql::ui {
namespace {

TEST(GraphicsContextTests, ImageContextsStackAndRender) {
    EXPECT_FALSE(GraphicsGetCurrentContext());
    EXPECT_FALSE(GraphicsGetImageFromCurrentImageContext());

    // Scale 0 is the main screen's; the origin is at the top left.
    Screen::mainScreen().setScale(3);
    GraphicsBeginImageContextWithOptions({10, 5}, false, 0);
    cg::Context* outer = GraphicsGetCurrentContext();
    ASSERT_TRUE(outer);
    Color::redColor()->setFill();
    outer->fillRect({0, 0, 10, 1});

    // A nested context is current until it ends, then the outer one again.
    GraphicsBeginImageContext({4, 4});
    EXPECT_NE(GraphicsGetCurrentContext(), outer);
    const auto inner = GraphicsGetImageFromCurrentImageContext();
    EXPECT_EQ(inner->scale(), 1);
    EXPECT_EQ(inner->size(), cg::Size(4, 4));
    GraphicsEndImageContext();
    EXPECT_EQ(GraphicsGetCurrentContext(), outer);

    const auto image = GraphicsGetImageFromCurrentImageContext();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 3);
    EXPECT_EQ(image->size(), cg::Size(10, 5));
    EXPECT_EQ(image->CGImage()->width(), 30);
    EXPECT_EQ(image->CGImage()->pixel(15, 1).r, 255);
    EXPECT_EQ(image->CGImage()->pixel(15, 10).a, 0);
    EXPECT_TRUE(image->CGImage()->hasAlpha());
    GraphicsEndImageContext();
    EXPECT_FALSE(GraphicsGetCurrentContext());
    Screen::mainScreen().setScale(2);

    // Opaque contexts give images without alpha; an empty size makes no context.
    GraphicsBeginImageContextWithOptions({2, 2}, true, 1);
    EXPECT_FALSE(GraphicsGetImageFromCurrentImageContext()->CGImage()->hasAlpha());
    GraphicsEndImageContext();
    GraphicsBeginImageContextWithOptions({0, 10}, false, 1);
    EXPECT_FALSE(GraphicsGetCurrentContext());
    GraphicsEndImageContext();

    // A pushed context is current but no image context: it gives no image and EndImageContext leaves it.
    auto own = cg::BitmapContext::createForImage({3, 3}, false, 1);
    GraphicsPushContext(*own);
    EXPECT_EQ(GraphicsGetCurrentContext(), own.get());
    EXPECT_FALSE(GraphicsGetImageFromCurrentImageContext());
    GraphicsEndImageContext();
    EXPECT_EQ(GraphicsGetCurrentContext(), own.get());
    GraphicsPopContext();
    EXPECT_FALSE(GraphicsGetCurrentContext());
    GraphicsPopContext();  // unmatched
}

TEST(GraphicsContextTests, AnImageContextScopeEndsOnlyWhatItBegan) {
    GraphicsBeginImageContext({4, 4});
    cg::Context* outer = GraphicsGetCurrentContext();
    ASSERT_TRUE(outer);
    {
        // Nothing begun for an empty size: nothing to draw into, no image, and the outer context stays.
        ImageContextScope empty({0, 4}, false, 1);
        EXPECT_FALSE(empty.context());
        EXPECT_FALSE(empty.image());
    }
    EXPECT_EQ(GraphicsGetCurrentContext(), outer);
    EXPECT_THROW(
        {
            ImageContextScope drawing({2, 3}, false, 2);
            ASSERT_TRUE(drawing.context());
            EXPECT_EQ(GraphicsGetCurrentContext(), drawing.context());
            EXPECT_EQ(drawing.image()->size(), cg::Size(2, 3));
            throw std::runtime_error("drawing failed");
        },
        std::runtime_error);
    EXPECT_EQ(GraphicsGetCurrentContext(), outer);
    GraphicsEndImageContext();
    EXPECT_FALSE(GraphicsGetCurrentContext());
}

}  // namespace
}  // namespace ql::ui
