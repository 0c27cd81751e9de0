#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/graphics/ImageFile.h"
#include "platform/photos/AssetImages.h"
#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/Screen.h"
#include "tests/platform/photos/PhotoLibraryFixture.h"
#include "tests/support/ReferenceJPEG.h"

using namespace ql;
namespace fs = std::filesystem;

namespace {

// Camera pictures in four quarters: red top left, green top right, blue bottom left, white bottom right,
// written a row at a time so that a 108-megapixel one costs no more memory than a row.
std::string quarters(int width, int height, int orientation = 0, std::string thumbnail = {}) {
    test::ReferenceJPEG jpeg;
    jpeg.width = width;
    jpeg.height = height;
    jpeg.quality = 50;
    jpeg.exifOrientation = orientation;
    jpeg.exifThumbnail = std::move(thumbnail);
    std::vector<std::uint8_t> top, bottom;
    for (int x = 0; x < width; ++x) {
        const bool left = x < width / 2;
        for (std::uint8_t c : left ? std::vector<std::uint8_t>{255, 0, 0} : std::vector<std::uint8_t>{0, 255, 0}) top.push_back(c);
        for (std::uint8_t c : left ? std::vector<std::uint8_t>{0, 0, 255} : std::vector<std::uint8_t>{255, 255, 255}) bottom.push_back(c);
    }
    jpeg.fillRow = [=](int y, std::uint8_t* row) { std::memcpy(row, (y < height / 2 ? top : bottom).data(), top.size()); };
    return jpeg.encode();
}

std::string solidJPEG(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::string thumbnail = {}) {
    test::ReferenceJPEG jpeg;
    jpeg.width = width;
    jpeg.height = height;
    jpeg.exifThumbnail = std::move(thumbnail);
    jpeg.fillRow = [=](int, std::uint8_t* row) {
        for (int x = 0; x < width; ++x) row[3 * x] = r, row[3 * x + 1] = g, row[3 * x + 2] = b;
    };
    return jpeg.encode();
}

// The colour at a fraction of the image's width and height, within the JPEG's tolerance.
::testing::AssertionResult colourNear(const ui::Image& image, double fx, double fy, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const auto& bitmap = image.CGImage();
    const auto p = bitmap->pixel(static_cast<int>(bitmap->width() * fx), static_cast<int>(bitmap->height() * fy));
    const auto near = [](int a, int e) { return std::abs(a - e) <= 12; };
    if (near(p.r, r) && near(p.g, g) && near(p.b, b)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << int(p.r) << "," << int(p.g) << "," << int(p.b) << " at " << fx << "," << fy;
}

class AssetPicturesTest : public ::testing::Test {
protected:
    fs::path roll() const { return fs::path(al::AssetsLibrary::folder()) / "Saved Photos"; }

    std::vector<std::shared_ptr<al::Asset>> rollAssets() {
        std::vector<std::shared_ptr<al::Asset>> assets;
        library->enumerateGroupsWithTypes(
            al::AssetsGroupSavedPhotos,
            [&](const std::shared_ptr<al::AssetsGroup>& group, bool*) {
                if (!group) return;
                group->enumerateAssetsUsingBlock([&](const std::shared_ptr<al::Asset>& asset, std::int64_t, bool*) {
                    if (asset) assets.push_back(asset);
                });
            },
            {});
        test::PhotoLibraryFixture::pump();
        return assets;
    }

    std::shared_ptr<al::Asset> only(const std::string& name, const std::string& bytes) {
        photos.addFile("Saved Photos", name, bytes);
        auto assets = rollAssets();
        for (auto& asset : assets) {
            if (fs::path(asset->path()).filename() == name) return asset;
        }
        return nullptr;
    }

    ns::ManualClockScope clock;
    test::PhotoLibraryFixture photos;
    std::shared_ptr<al::AssetsLibrary> library = std::make_shared<al::AssetsLibrary>();
};

}  // namespace

TEST_F(AssetPicturesTest, OnlyRegularFilesArePicturesAndNothingWaitsOnTheOthers) {
    photos.addPictures("Saved Photos", 1);
    const fs::path dir = roll();
    ASSERT_EQ(::mkfifo((dir / "IMG_0002.JPG").c_str(), 0600), 0);
    // A socket bound to a name like a photo's.
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (dir / "IMG_0003.JPG").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("/dev/zero", dir / "IMG_0004.JPG");
    fs::create_symlink(dir / "IMG_0006.JPG", dir / "IMG_0005.JPG");
    fs::create_symlink(dir / "IMG_0005.JPG", dir / "IMG_0006.JPG");
    fs::create_symlink(dir / "IMG_0001.PNG", dir / "IMG_0007.PNG");
    // Larger than any picture is read: refused without being read, though it is listed.
    {
        std::ofstream big(dir / "IMG_0008.JPG", std::ios::binary);
        big << solidJPEG(8, 8, 0, 0, 0);
    }
    fs::resize_file(dir / "IMG_0008.JPG", cg::kMaxImageFileBytes + 1);

    std::vector<std::string> names;
    for (const auto& asset : rollAssets()) names.push_back(fs::path(asset->path()).filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_0001.PNG", "IMG_0001.PNG", "IMG_0008.JPG"}))
        << "the link to a picture is that picture; the FIFO, socket, device and link loop are not pictures";
    for (const char* special : {"IMG_0002.JPG", "IMG_0003.JPG", "IMG_0004.JPG", "IMG_0005.JPG", "IMG_0008.JPG"}) {
        EXPECT_FALSE(cg::ImageFile::open((dir / special).string())) << special;
        EXPECT_FALSE(al::assetImage((dir / special).string(), al::AssetImageKind::Thumbnail, {{320, 480}, 2})) << special;
    }
    ::close(sock);

    // A picture that becomes a FIFO after it was listed is not waited on either.
    auto asset = only("IMG_0009.JPG", solidJPEG(40, 30, 200, 0, 0));
    ASSERT_TRUE(asset);
    fs::remove(asset->path());
    ASSERT_EQ(::mkfifo(asset->path().c_str(), 0600), 0);
    EXPECT_FALSE(asset->thumbnail());
    EXPECT_FALSE(asset->fullScreenImage());
}

TEST_F(AssetPicturesTest, CameraPicturesOverThePixelBudgetShowAtReducedSize) {
    struct Case {
        int width, height, orientation;
    };
    // 48 and 108 megapixels, the second turned a quarter by its EXIF orientation.
    for (const Case& c : {Case{8000, 6000, 0}, Case{12000, 9000, 6}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        ASSERT_GT(std::size_t(c.width) * c.height, cg::kMaxImagePixels);
        auto asset = only("IMG_" + std::to_string(c.width) + ".JPG", quarters(c.width, c.height, c.orientation));
        ASSERT_TRUE(asset);
        const bool turned = c.orientation == 6;
        EXPECT_EQ(asset->dimensions(), (cg::Size{turned ? 9000.0 : 8000, turned ? 12000.0 : 6000}));

        auto thumbnail = asset->thumbnail();
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->size(), (cg::Size{75, 75}));
        auto aspect = asset->aspectRatioThumbnail();
        ASSERT_TRUE(aspect);
        EXPECT_EQ(aspect->size(), turned ? (cg::Size{90, 120}) : (cg::Size{120, 90}));
        auto screen = asset->fullScreenImage();
        ASSERT_TRUE(screen);
        const cg::Size bounds = ui::Screen::mainScreen().bounds().size;
        EXPECT_LE(screen->size().width, bounds.width + 0.5);
        EXPECT_LE(screen->size().height, bounds.height + 0.5);
        EXPECT_GT(screen->size().width, bounds.width / 2);

        for (const auto* image : {thumbnail.get(), aspect.get(), screen.get()}) {
            if (!turned) {
                EXPECT_TRUE(colourNear(*image, 0.25, 0.25, 255, 0, 0));
                EXPECT_TRUE(colourNear(*image, 0.75, 0.25, 0, 255, 0));
                EXPECT_TRUE(colourNear(*image, 0.25, 0.75, 0, 0, 255));
                EXPECT_TRUE(colourNear(*image, 0.75, 0.75, 255, 255, 255));
            } else {
                // Turned a quarter clockwise to be shown: the stored left column becomes the top row.
                EXPECT_TRUE(colourNear(*image, 0.75, 0.25, 255, 0, 0));
                EXPECT_TRUE(colourNear(*image, 0.75, 0.75, 0, 255, 0));
                EXPECT_TRUE(colourNear(*image, 0.25, 0.25, 0, 0, 255));
                EXPECT_TRUE(colourNear(*image, 0.25, 0.75, 255, 255, 255));
            }
        }
    }
}

TEST_F(AssetPicturesTest, AnEmbeddedThumbnailLargeEnoughAndTheRightWayUpIsUsed) {
    const al::AssetImageScreen screen{{320, 480}, 2};
    // A red picture whose embedded thumbnail is blue: the colour tells which one a thumbnail came from.
    const auto made = [&](const std::string& name, int tw, int th) {
        photos.addFile("Saved Photos", name, solidJPEG(800, 600, 220, 0, 0, solidJPEG(tw, th, 0, 0, 220)));
        return al::assetImage((roll() / name).string(), al::AssetImageKind::Thumbnail, screen);
    };
    auto fromEmbedded = made("A.JPG", 200, 150);
    ASSERT_TRUE(fromEmbedded);
    EXPECT_TRUE(colourNear(*fromEmbedded, 0.5, 0.5, 0, 0, 220)) << "large enough for 150 pixels a side";
    auto tooSmall = made("B.JPG", 160, 120);
    ASSERT_TRUE(tooSmall);
    EXPECT_TRUE(colourNear(*tooSmall, 0.5, 0.5, 220, 0, 0)) << "120 pixels high cannot fill 150";
    auto turned = made("C.JPG", 150, 200);
    ASSERT_TRUE(turned);
    EXPECT_TRUE(colourNear(*turned, 0.5, 0.5, 220, 0, 0)) << "a thumbnail not turned with the picture is not used";
    auto barred = made("D.JPG", 200, 200);
    ASSERT_TRUE(barred);
    EXPECT_TRUE(colourNear(*barred, 0.5, 0.5, 220, 0, 0)) << "nor one of other proportions";
}

TEST_F(AssetPicturesTest, ThumbnailsAreMadeOnceUntilTheFileChanges) {
    auto asset = only("IMG_0001.JPG", solidJPEG(64, 48, 0, 200, 0));
    ASSERT_TRUE(asset);
    EXPECT_FALSE(asset->cachedImage(al::AssetImageKind::Thumbnail));
    auto first = asset->thumbnail();
    ASSERT_TRUE(first);
    EXPECT_EQ(asset->thumbnail(), first) << "made once";
    EXPECT_EQ(asset->cachedImage(al::AssetImageKind::Thumbnail), first);
    EXPECT_NE(asset->aspectRatioThumbnail(), first);

    photos.addFile("Saved Photos", "IMG_0001.JPG", solidJPEG(80, 60, 0, 0, 200));
    EXPECT_FALSE(asset->cachedImage(al::AssetImageKind::Thumbnail)) << "a changed file is another key";
    auto second = asset->thumbnail();
    ASSERT_TRUE(second);
    EXPECT_TRUE(colourNear(*second, 0.5, 0.5, 0, 0, 200));
}

TEST_F(AssetPicturesTest, RequestsAnswerLaterOnTheMainQueueUnlessDropped) {
    auto asset = only("IMG_0001.JPG", solidJPEG(64, 48, 0, 200, 0));
    auto other = only("IMG_0002.JPG", solidJPEG(64, 48, 200, 0, 0));
    ASSERT_TRUE(asset && other);
    std::vector<std::shared_ptr<ui::Image>> answers;
    auto kept = asset->requestImage(al::AssetImageKind::Thumbnail, [&](const auto& image) { answers.push_back(image); });
    auto dropped = other->requestImage(al::AssetImageKind::Thumbnail, [&](const auto& image) { answers.push_back(image); });
    dropped.reset();
    al::waitForAssetImageRequests();
    EXPECT_TRUE(answers.empty()) << "answers come on the main queue";
    test::PhotoLibraryFixture::pump();
    ASSERT_EQ(answers.size(), 1u) << "a dropped request answers nothing";
    ASSERT_TRUE(answers[0]);
    EXPECT_TRUE(colourNear(*answers[0], 0.5, 0.5, 0, 200, 0));
    EXPECT_EQ(asset->cachedImage(al::AssetImageKind::Thumbnail), answers[0]);

    std::filesystem::remove(asset->path());
    auto missing = asset->requestImage(al::AssetImageKind::Thumbnail, [&](const auto& image) { answers.push_back(image); });
    al::waitForAssetImageRequests();
    test::PhotoLibraryFixture::pump();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_FALSE(answers[1]) << "a file that is gone has no picture";
}
