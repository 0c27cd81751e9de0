#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/graphics/ImageSource.h"
#include "platform/ui/Application.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"
#include "tests/support/ReferenceImage.h"

namespace ql::ui {
namespace {

namespace fs = std::filesystem;

// The main bundle of this test program: a folder of its own, made before anything asks for the bundle.
const fs::path& resources() {
    static const fs::path folder = [] {
        char pattern[] = "/tmp/ql-ui-image-tests-XXXXXX";
        // Empty when no folder could be made: the environment then fails the program, and removes nothing.
        return ::mkdtemp(pattern) ? fs::path(pattern) : fs::path();
    }();
    return folder;
}

class ResourcesEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_FALSE(resources().empty()) << "no temporary folder for the main bundle"; }
    void TearDown() override {
        if (!resources().empty()) fs::remove_all(resources());
    }
};

[[maybe_unused]] const bool kResourcesSet = [] {
    ::setenv("QUILLORY_RESOURCES", resources().c_str(), 1);
    ::testing::AddGlobalTestEnvironment(new ResourcesEnvironment);
    return true;
}();

std::shared_ptr<const cg::Image> solid(int width, int height, const cg::Color& color) {
    auto context = cg::BitmapContext::createForImage({static_cast<double>(width), static_cast<double>(height)}, false, 1);
    context->setFillColor(color);
    context->fillRect({0, 0, static_cast<double>(width), static_cast<double>(height)});
    return context->makeImage();
}

void write(const fs::path& path, const ns::Data& data) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.bytes()), static_cast<std::streamsize>(data.length()));
}

// Draws into a fresh image context and returns its bitmap.
std::shared_ptr<const cg::Image> render(cg::Size size, double scale, const std::function<void()>& draw) {
    GraphicsBeginImageContextWithOptions(size, false, scale);
    draw();
    auto image = GraphicsGetImageFromCurrentImageContext();
    GraphicsEndImageContext();
    return image->CGImage();
}

// A 9 × 9 point picture of nine parts: red corners, green top, yellow bottom, cyan left, magenta right,
// blue middle, with a white top-left point in the middle when `marked`.
std::shared_ptr<Image> ninePartPicture(double scale, bool marked) {
    const auto bitmap = render({9, 9}, scale, [marked] {
        cg::Context& c = *GraphicsGetCurrentContext();
        auto fill = [&](const cg::Color& color, cg::Rect r) {
            c.setFillColor(color);
            c.fillRect(r);
        };
        fill(cg::Color::rgb(1, 0, 0, 1), {0, 0, 9, 9});
        fill(cg::Color::rgb(0, 1, 0, 1), {3, 0, 3, 3});
        fill(cg::Color::rgb(1, 1, 0, 1), {3, 6, 3, 3});
        fill(cg::Color::rgb(0, 1, 1, 1), {0, 3, 3, 3});
        fill(cg::Color::rgb(1, 0, 1, 1), {6, 3, 3, 3});
        fill(cg::Color::rgb(0, 0, 1, 1), {3, 3, 3, 3});
        if (marked) fill(cg::Color::rgb(1, 1, 1, 1), {3, 3, 1, 1});
    });
    return Image::imageWithCGImage(bitmap, scale);
}

cg::RGBA partColor(int row, int column) {
    if (row != 1 && column != 1) return {1, 0, 0, 1};
    if (row == 0) return {0, 1, 0, 1};
    if (row == 2) return {1, 1, 0, 1};
    if (column == 0) return {0, 1, 1, 1};
    if (column == 2) return {1, 0, 1, 1};
    return {0, 0, 1, 1};
}

TEST(ImageTests, NinePartStretchMatchesReference) {
    for (const double scale : {1.0, 2.0}) {
        const auto resizable = ninePartPicture(scale, false)->resizableImageWithCapInsets({3, 3, 3, 3}, ImageResizingMode::Stretch);
        EXPECT_EQ(resizable->resizingMode(), ImageResizingMode::Stretch);
        const cg::Rect target{5, 5, 30, 20};
        const auto drawn = render({40, 30}, scale, [&] { resizable->drawInRect(target); });
        const auto reference = test::renderReference(static_cast<int>(40 * scale), static_cast<int>(30 * scale),
                                                     [&](double px, double py) {
            const double x = px / scale - 5, y = py / scale - 5;
            if (x < 0 || y < 0 || x >= 30 || y >= 20) return cg::RGBA{};
            const int column = x < 3 ? 0 : x >= 27 ? 2 : 1;
            const int row = y < 3 ? 0 : y >= 17 ? 2 : 1;
            return partColor(row, column);
        }, 4);
        test::saveForInspection(*drawn, "nine-part-" + std::to_string(static_cast<int>(scale)));
        const auto d = test::compareImages(*drawn, *reference, 8);
        EXPECT_EQ(d.differing, 0) << "scale " << scale << ", largest " << d.largestDelta;
    }
}

TEST(ImageTests, NinePartTilesAndSmallTargets) {
    const auto tiled = ninePartPicture(1, true)->resizableImageWithCapInsets({3, 3, 3, 3});
    EXPECT_EQ(tiled->resizingMode(), ImageResizingMode::Tile);
    const auto drawn = render({30, 15}, 1, [&] { tiled->drawInRect({0, 0, 30, 15}); });
    // The middle repeats every three points from its top-left corner, cut at the far side.
    for (int y = 3; y < 12; ++y) {
        for (int x = 3; x < 27; ++x) {
            const bool white = (x - 3) % 3 == 0 && (y - 3) % 3 == 0;
            EXPECT_EQ(drawn->pixel(x, y), white ? (cg::Image::Pixel{255, 255, 255, 255}) : (cg::Image::Pixel{0, 0, 255, 255}))
                << x << "," << y;
        }
    }
    EXPECT_EQ(drawn->pixel(10, 1), (cg::Image::Pixel{0, 255, 0, 255}));
    EXPECT_EQ(drawn->pixel(28, 13), (cg::Image::Pixel{255, 0, 0, 255}));

    // A target smaller than the caps shows only the corners, shrunk alike.
    const auto small = render({4, 4}, 1, [&] { tiled->drawInRect({0, 0, 4, 4}); });
    for (int i = 0; i < 16; ++i) EXPECT_EQ(small->pixel(i % 4, i / 4), (cg::Image::Pixel{255, 0, 0, 255}));

    // Caps covering the whole image keep one pixel between them to stretch.
    const auto wide = ninePartPicture(1, false)->resizableImageWithCapInsets({0, 60, 0, 59}, ImageResizingMode::Stretch);
    const auto button = render({120, 9}, 1, [&] { wide->drawInRect({0, 0, 120, 9}); });
    for (int x = 0; x < 120; ++x) EXPECT_EQ(button->pixel(x, 4).a, 255) << x;

    // The older stretchable form: caps on the left and top, one point left in between.
    const auto stretchable = ninePartPicture(1, false)->stretchableImageWithLeftCapWidth(4, 0);
    EXPECT_EQ(stretchable->leftCapWidth(), 4);
    EXPECT_EQ(stretchable->topCapHeight(), 0);
    EXPECT_EQ(stretchable->capInsets(), (cg::EdgeInsets{0, 4, 0, 4}));
    EXPECT_EQ(stretchable->resizingMode(), ImageResizingMode::Stretch);
}

TEST(ImageTests, NinePartsMeetOnDevicePixelsWithoutASeam) {
    // An opaque 300 × 46 point button picture, one point left to stretch in its middle.
    const auto picture = render({300, 46}, 2, [] {
        GraphicsGetCurrentContext()->setFillColor(cg::Color::rgb(1, 0.55, 0.1, 1));
        GraphicsGetCurrentContext()->fillRect({0, 0, 300, 46});
    });
    const auto button = Image::imageWithCGImage(picture, 2, ImageOrientation::Up)
                            ->resizableImageWithCapInsets({0, 150, 0, 149}, ImageResizingMode::Stretch);
    // Narrower than the caps (they shrink and meet inside a pixel), and wider at three pixels a point with
    // a target that starts between pixels.
    struct Case {
        cg::Rect target;
        double scale;
    };
    for (const Case& c : {Case{{0, 0, 260, 46}, 2}, Case{{0, 0, 260, 46}, 3}, Case{{0.5, 0, 353, 46}, 3},
                          Case{{0, 0, 315, 46}, 2}}) {
        const auto drawn = render({c.target.size.width + 1, 46}, c.scale, [&] { button->drawInRect(c.target); });
        const int first = int(std::ceil(c.target.origin.x * c.scale));
        const int last = int(std::floor(cg::maxX(c.target) * c.scale)) - 1;
        for (int x = first; x <= last; ++x) {
            EXPECT_EQ(drawn->pixel(x, int(23 * c.scale)).a, 255) << "column " << x << " of " << cg::toString(c.target)
                                                                 << " at " << c.scale << "x";
        }
    }
}

TEST(ImageTests, OrientationFromDataDrawsUpright) {
    // Stored landscape, left half red, right half blue, tagged to be shown turned clockwise.
    auto context = cg::BitmapContext::createForImage({32, 16}, true, 1);
    context->setFillColor(cg::Color::rgb(1, 0, 0, 1));
    context->fillRect({0, 0, 16, 16});
    context->setFillColor(cg::Color::rgb(0, 0, 1, 1));
    context->fillRect({16, 0, 16, 16});
    const auto jpeg = cg::encodeJPEG(*context->makeImage(), 0.9, 6);
    const auto image = Image::imageWithData(*jpeg);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), ImageOrientation::Right);
    EXPECT_EQ(image->size(), cg::Size(16, 32));
    EXPECT_EQ(image->CGImage()->width(), 32);
    const auto upright = image->uprightBitmap();
    EXPECT_EQ(upright->width(), 16);
    EXPECT_EQ(upright->height(), 32);

    const auto drawn = render({16, 32}, 1, [&] { image->drawAtPoint({0, 0}); });
    EXPECT_GT(drawn->pixel(8, 4).r, 200);
    EXPECT_LT(drawn->pixel(8, 4).b, 50);
    EXPECT_GT(drawn->pixel(8, 28).b, 200);

    // JPEG keeps the orientation; PNG writes the stored pixels as they are.
    const auto again = Image::imageWithData(*ImageJPEGRepresentation(*image, 0.9));
    EXPECT_EQ(again->imageOrientation(), ImageOrientation::Right);
    const auto png = Image::imageWithData(*ImagePNGRepresentation(*image), 2);
    EXPECT_EQ(png->imageOrientation(), ImageOrientation::Up);
    EXPECT_EQ(png->size(), cg::Size(16, 8));

    // Every orientation maps the stored corners where the platform shows them.
    auto marked = cg::BitmapContext::createForImage({3, 2}, false, 1);
    marked->setFillColor(cg::Color::rgb(1, 0, 0, 1));
    marked->fillRect({0, 0, 1, 1});  // the stored top-left pixel
    const auto stored = marked->makeImage();
    const std::pair<ImageOrientation, std::pair<int, int>> shownAt[] = {
        {ImageOrientation::Up, {0, 0}},           {ImageOrientation::UpMirrored, {2, 0}},
        {ImageOrientation::Down, {2, 1}},         {ImageOrientation::DownMirrored, {0, 1}},
        {ImageOrientation::Right, {1, 0}},        {ImageOrientation::Left, {0, 2}},
        {ImageOrientation::LeftMirrored, {0, 0}}, {ImageOrientation::RightMirrored, {1, 2}},
    };
    for (const auto& [orientation, at] : shownAt) {
        const auto shown = Image::imageWithCGImage(stored, 1, orientation)->uprightBitmap();
        EXPECT_EQ(shown->pixel(at.first, at.second).r, 255) << static_cast<int>(orientation);
    }
}

TEST(ImageTests, NamedImagesPickTheScreensVariant) {
    write(resources() / "dot.png", *cg::encodePNG(*solid(2, 2, cg::Color::rgb(1, 0, 0, 1))));
    write(resources() / "dot@2x.png", *cg::encodePNG(*solid(4, 4, cg::Color::rgb(0, 1, 0, 1))));
    write(resources() / "dot@3x.png", *cg::encodePNG(*solid(6, 6, cg::Color::rgb(0, 0, 1, 1))));
    write(resources() / "only1x.png", *cg::encodePNG(*solid(2, 2, cg::Color::gray(0, 1))));
    write(resources() / "Some.bundle" / "arrow.png", *cg::encodePNG(*solid(3, 5, cg::Color::gray(0, 1))));
    write(resources() / "photo.jpg", *cg::encodeJPEG(*solid(4, 4, cg::Color::gray(0.5, 1)), 0.8));

    Screen::mainScreen().setScale(2);
    const auto dot = Image::imageNamed("dot");
    ASSERT_TRUE(dot);
    EXPECT_EQ(dot->scale(), 2);
    EXPECT_EQ(dot->size(), cg::Size(2, 2));
    EXPECT_EQ(dot->CGImage()->pixel(0, 0).g, 255);
    EXPECT_EQ(Image::imageNamed("dot"), dot);  // kept
    EXPECT_EQ(Image::imageNamed("dot.png")->scale(), 2);
    EXPECT_EQ(Image::imageNamed("only1x")->scale(), 1);
    EXPECT_EQ(Image::imageNamed("Some.bundle/arrow.png")->size(), cg::Size(3, 5));
    EXPECT_EQ(Image::imageNamed("photo.jpg")->size(), cg::Size(4, 4));
    EXPECT_FALSE(Image::imageNamed("missing"));
    EXPECT_FALSE(Image::imageNamed(""));

    Screen::mainScreen().setScale(3);
    EXPECT_EQ(Image::imageNamed("dot")->CGImage()->pixel(0, 0).b, 255);
    Screen::mainScreen().setScale(1);
    EXPECT_EQ(Image::imageNamed("dot")->scale(), 1);
    Screen::mainScreen().setScale(2);

    // A memory warning empties the cache.
    ns::NotificationCenter::defaultCenter().post(ApplicationDidReceiveMemoryWarningNotification);
    const auto reloaded = Image::imageNamed("dot");
    EXPECT_NE(reloaded, dot);
    EXPECT_EQ(reloaded->scale(), 2);

    // Files: the screen's variant beside the file, or the scale the name gives; never cached.
    const auto file = Image::imageWithContentsOfFile((resources() / "dot.png").string());
    EXPECT_EQ(file->scale(), 2);
    EXPECT_NE(Image::imageWithContentsOfFile((resources() / "dot.png").string()), file);
    EXPECT_EQ(Image::imageWithContentsOfFile((resources() / "dot@3x.png").string())->scale(), 3);
    EXPECT_EQ(Image::imageWithContentsOfFile((resources() / "only1x.png").string())->scale(), 1);
    EXPECT_FALSE(Image::imageWithContentsOfFile((resources() / "none.png").string()));
    EXPECT_FALSE(Image::imageWithData(ns::Data(std::string_view("not an image"))));
}

TEST(ImageTests, AnimatedImagesRepresentationsAndRegistry) {
    const auto a = Image::imageWithCGImage(solid(4, 2, cg::Color::rgb(1, 0, 0, 1)), 2);
    const auto b = Image::imageWithCGImage(solid(4, 2, cg::Color::rgb(0, 1, 0, 1)), 2);
    const auto animated = Image::animatedImageWithImages({a, b, nullptr}, 0.2);
    ASSERT_TRUE(animated);
    EXPECT_EQ(animated->images().size(), 2u);
    EXPECT_EQ(animated->duration(), 0.2);
    EXPECT_EQ(animated->size(), cg::Size(2, 1));
    EXPECT_EQ(animated->CGImage(), a->CGImage());
    EXPECT_FALSE(Image::animatedImageWithImages({}, 1));
    EXPECT_TRUE(a->images().empty());

    // PNG keeps every pixel.
    const auto decoded = cg::decodeImage(*ImagePNGRepresentation(*a));
    EXPECT_EQ(0, std::memcmp(decoded->pixels(), a->CGImage()->pixels(), 4 * 2 * 4));
    EXPECT_EQ(Image::imageWithData(*ImagePNGRepresentation(*a))->scale(), 1);

    // Drawing with a blend mode and alpha, and leaving the context's own alpha as it was.
    const auto drawn = render({2, 1}, 2, [&] {
        GraphicsGetCurrentContext()->setAlpha(0.3);
        a->drawInRect({0, 0, 2, 1}, cg::BlendMode::Normal, 0.5);
        EXPECT_EQ(GraphicsGetCurrentContext()->alpha(), 0.3);
    });
    EXPECT_NEAR(drawn->pixel(1, 1).a, 128, 1);

    EXPECT_EQ(Image::classObject().name(), "UIImage");
    EXPECT_TRUE(ns::Class::named("UIImage"));
    EXPECT_NE(a->description().find("{2, 1}"), std::string::npos);
}

}  // namespace
}  // namespace ql::ui
