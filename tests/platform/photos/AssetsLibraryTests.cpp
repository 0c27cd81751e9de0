#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/photos/AssetsLibrary.h"
#include "platform/photos/CaptureDevice.h"
#include "platform/photos/ImagePickerController.h"
#include "platform/photos/SavedPhotosAlbum.h"
#include "tests/platform/photos/FolderReads.h"
#include "tests/platform/photos/PhotoLibraryFixture.h"

using namespace ql;

namespace {

class AssetsLibraryTest : public ::testing::Test {
protected:
    std::vector<std::shared_ptr<al::AssetsGroup>> groups(std::uint32_t types) {
        std::vector<std::shared_ptr<al::AssetsGroup>> found;
        bool ended = false;
        library->enumerateGroupsWithTypes(
            types,
            [&](const std::shared_ptr<al::AssetsGroup>& group, bool*) {
                if (group) found.push_back(group);
                else ended = true;
            },
            [](const ns::Error& error) { ADD_FAILURE() << error.description(); });
        EXPECT_TRUE(found.empty()) << "the library answers later";
        test::PhotoLibraryFixture::pump();
        EXPECT_TRUE(ended);
        return found;
    }

    ns::ManualClockScope clock;
    test::PhotoLibraryFixture photos;
    std::shared_ptr<al::AssetsLibrary> library = std::make_shared<al::AssetsLibrary>();
};

}  // namespace

TEST_F(AssetsLibraryTest, FoldersBecomeGroupsWithFilteredAssetsInNameOrder) {
    photos.addPictures("Photo Library", 2);
    photos.addPictures("Saved Photos", 3);
    photos.addFile("Saved Photos", "IMG_0009.MOV", "not really a movie");
    photos.addFile("Saved Photos", "notes.txt", "not a picture");
    photos.addPictures("Albums/Zoo", 1);
    photos.addPictures("Albums/Beach", 1);

    auto all = groups(al::AssetsGroupAll);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0]->name(), "Photo Library");
    EXPECT_EQ(all[0]->type(), al::AssetsGroupLibrary);
    EXPECT_EQ(all[1]->name(), "Camera Roll");
    EXPECT_EQ(all[1]->type(), al::AssetsGroupSavedPhotos);
    EXPECT_EQ(all[2]->name(), "Beach");
    EXPECT_EQ(all[3]->name(), "Zoo");
    EXPECT_EQ(all[3]->type(), al::AssetsGroupAlbum);
    EXPECT_NE(all[2]->persistentID(), all[3]->persistentID());
    EXPECT_EQ(groups(al::AssetsGroupAll)[1]->persistentID(), all[1]->persistentID()) << "identifiers are stable";

    auto roll = all[1];
    EXPECT_EQ(roll->numberOfAssets(), 4);
    roll->setAssetsFilter(al::AssetsFilter::allPhotos());
    EXPECT_EQ(roll->numberOfAssets(), 3);
    roll->setAssetsFilter(al::AssetsFilter::allVideos());
    EXPECT_EQ(roll->numberOfAssets(), 1);
    roll->setAssetsFilter(al::AssetsFilter::allAssets());

    std::vector<std::int64_t> indexes;
    roll->enumerateAssetsAtIndexes(2, 10, [&](const std::shared_ptr<al::Asset>& asset, std::int64_t index, bool*) {
        indexes.push_back(asset ? index : -1);
    });
    EXPECT_EQ(indexes, (std::vector<std::int64_t>{2, 3, -1}));
    std::vector<al::AssetType> types;
    roll->enumerateAssetsUsingBlock([&](const std::shared_ptr<al::Asset>& asset, std::int64_t, bool* stop) {
        if (asset) types.push_back(asset->type());
        *stop = types.size() == 2;
    });
    EXPECT_EQ(types.size(), 2u);

    auto first = groups(al::AssetsGroupSavedPhotos)[0];
    std::shared_ptr<al::Asset> photo, video;
    first->enumerateAssetsUsingBlock([&](const std::shared_ptr<al::Asset>& asset, std::int64_t index, bool*) {
        if (index == 0) photo = asset;
        if (index == 3) video = asset;
    });
    ASSERT_TRUE(photo && video);
    EXPECT_EQ(photo->assetURL().absoluteString().rfind("assets-library://asset/asset.PNG?id=", 0), 0u);
    auto thumb = photo->thumbnail();
    ASSERT_TRUE(thumb);
    EXPECT_EQ(thumb->size(), (cg::Size{75, 75}));
    EXPECT_EQ(photo->aspectRatioThumbnail()->size(), (cg::Size{120, 90}));
    EXPECT_EQ(photo->fullScreenImage()->CGImage()->width(), 64);
    EXPECT_FALSE(video->thumbnail());
}

TEST_F(AssetsLibraryTest, ShotsGoIntoTheRollAndAlbumsTakeThemAsLinks) {
    photos.addPictures("Saved Photos", 1);
    std::optional<ns::URL> saved;
    library->writeImageToSavedPhotosAlbum(test::solidBitmap(40, 30, 0xFF0000FF), ui::ImageOrientation::Right,
                                          [&](const std::optional<ns::URL>& url, const std::optional<ns::Error>& error) {
                                              EXPECT_FALSE(error);
                                              saved = url;
                                          });
    test::PhotoLibraryFixture::pump();
    ASSERT_TRUE(saved);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(al::AssetsLibrary::folder()) / "Saved Photos/IMG_0002.JPG"));

    std::shared_ptr<al::Asset> shot;
    library->assetForURL(*saved, [&](const std::shared_ptr<al::Asset>& asset) { shot = asset; }, {});
    test::PhotoLibraryFixture::pump();
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->fullScreenImage()->size(), (cg::Size{30, 40})) << "the orientation travels with the shot";

    std::shared_ptr<al::AssetsGroup> album;
    library->addAssetsGroupAlbumWithName("Notes", [&](const std::shared_ptr<al::AssetsGroup>& group) { album = group; }, {});
    test::PhotoLibraryFixture::pump();
    ASSERT_TRUE(album);
    EXPECT_EQ(album->numberOfAssets(), 0);
    EXPECT_TRUE(album->addAsset(shot));
    EXPECT_TRUE(album->addAsset(shot)) << "an asset already there stays once";
    EXPECT_EQ(album->numberOfAssets(), 1);
    auto again = groups(al::AssetsGroupAlbum);
    ASSERT_EQ(again.size(), 1u);
    std::optional<ns::URL> linked;
    again[0]->enumerateAssetsUsingBlock([&](const std::shared_ptr<al::Asset>& asset, std::int64_t, bool*) {
        if (asset) linked = asset->assetURL();
    });
    EXPECT_EQ(linked, saved) << "the album's asset is the shot itself";
    EXPECT_FALSE(groups(al::AssetsGroupSavedPhotos)[0]->addAsset(shot)) << "the roll is not editable";

    bool answered = false;
    library->addAssetsGroupAlbumWithName("Notes", [&](const std::shared_ptr<al::AssetsGroup>& group) {
        answered = true;
        EXPECT_FALSE(group);
    }, {});
    std::optional<ns::Error> refused;
    library->addAssetsGroupAlbumWithName("../escape", {}, [&](const ns::Error& error) { refused = error; });
    test::PhotoLibraryFixture::pump();
    EXPECT_TRUE(answered);
    ASSERT_TRUE(refused);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(al::AssetsLibrary::folder()) / "escape"));

    std::shared_ptr<al::Asset> missing = shot;
    library->assetForURL(*ns::URL::fromString("assets-library://asset/asset.PNG?id=nothing&ext=PNG"),
                         [&](const std::shared_ptr<al::Asset>& asset) { missing = asset; }, {});
    test::PhotoLibraryFixture::pump();
    EXPECT_FALSE(missing);
}

TEST_F(AssetsLibraryTest, AccessFollowsTheAuthorisationSetting) {
    al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::NotDetermined);
    EXPECT_EQ(groups(al::AssetsGroupSavedPhotos).size(), 1u);
    EXPECT_EQ(al::AssetsLibrary::authorizationStatus(), al::AuthorizationStatus::Authorized) << "the user allowed it";

    al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::Denied);
    std::vector<std::int64_t> codes;
    const auto failed = [&](const ns::Error& error) {
        EXPECT_EQ(error.domain(), al::AssetsLibraryErrorDomain);
        codes.push_back(error.code());
    };
    bool called = false;
    library->enumerateGroupsWithTypes(al::AssetsGroupAll, [&](const auto&, bool*) { called = true; }, failed);
    library->writeImageToSavedPhotosAlbum(test::solidBitmap(4, 4, 0xFFFFFFFF), ui::ImageOrientation::Up,
                                          [&](const auto& url, const auto& error) {
                                              EXPECT_FALSE(url);
                                              if (error) codes.push_back(error->code());
                                          });
    al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::Restricted);
    test::PhotoLibraryFixture::pump();
    EXPECT_FALSE(called);
    EXPECT_EQ(codes, (std::vector<std::int64_t>{al::AssetsLibraryAccessGloballyDeniedError,
                                                al::AssetsLibraryAccessGloballyDeniedError}));
}

TEST_F(AssetsLibraryTest, TheCameraIsThereOnlyWithAPictureAndHandsItOver) {
    EXPECT_EQ(av::CaptureDevice::authorizationStatusForMediaType(av::MediaTypeVideo), av::AuthorizationStatus::NotDetermined);
    av::CaptureDevice::setAuthorizationStatusForMediaType(av::MediaTypeVideo, av::AuthorizationStatus::Denied);
    EXPECT_EQ(av::CaptureDevice::authorizationStatusForMediaType(av::MediaTypeVideo), av::AuthorizationStatus::Denied);
    av::CaptureDevice::setAuthorizationStatusForMediaType(av::MediaTypeVideo, av::AuthorizationStatus::NotDetermined);

    EXPECT_FALSE(ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceType::Camera));
    auto picture = ui::Image::imageWithCGImage(test::solidBitmap(8, 8, 0x00FF00FF));
    ui::ImagePickerController::setCameraPicture(picture);
    EXPECT_TRUE(ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceType::Camera));
    EXPECT_TRUE(ui::ImagePickerController::isCameraDeviceAvailable(ui::ImagePickerControllerCameraDevice::Rear));
    EXPECT_FALSE(ui::ImagePickerController::isCameraDeviceAvailable(ui::ImagePickerControllerCameraDevice::Front));

    struct Receiver : ns::Object, ui::ImagePickerControllerDelegate {
        void imagePickerControllerDidFinishPickingMediaWithInfo(ui::ImagePickerController&, const ns::Dictionary& info) override {
            taken = info[ui::ImagePickerControllerOriginalImage].asObject<ui::Image>();
        }
        std::shared_ptr<ui::Image> taken;
    };
    auto receiver = std::make_shared<Receiver>();
    auto camera = std::make_shared<ui::ImagePickerController>();
    camera->setDelegate(receiver);
    camera->takePicture();
    EXPECT_EQ(receiver->taken, picture);
    ui::ImagePickerController::setCameraPicture(nullptr);

    std::optional<ns::Error> result = ns::Error("unset", 1);
    ui::ImageWriteToSavedPhotosAlbum(picture, [&](const std::optional<ns::Error>& error) { result = error; });
    test::PhotoLibraryFixture::pump();
    EXPECT_FALSE(result);
    EXPECT_EQ(groups(al::AssetsGroupSavedPhotos)[0]->numberOfAssets(), 1);
}

namespace {

// The URL the library gives a file at that path inside it, made here from the platform's format.
std::string urlForLibraryPath(const std::string& relativePath, const std::string& ext) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(relativePath.data(), relativePath.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", digest[i]);
        hex += pair;
        if (i == 3 || i == 5 || i == 7 || i == 9) hex += '-';
    }
    return "assets-library://asset/asset." + ext + "?id=" + hex + "&ext=" + ext;
}

}  // namespace

TEST_F(AssetsLibraryTest, ALookupListsNoFolderAndAnswersAsTheListingDoes) {
    namespace fs = std::filesystem;
    photos.addPictures("Saved Photos", 12);
    photos.addPictures("Albums/Trip", 1);
    const fs::path root = al::AssetsLibrary::folder();
    const fs::path roll = root / "Saved Photos";
    fs::create_symlink(roll / "IMG_0007.PNG", root / "Albums/Trip/IMG_0007.PNG");
    const fs::path away = fs::path(photos.sandbox.path()) / "away.PNG";
    std::ofstream(away, std::ios::binary) << test::pngOf(8, 8, 0x336699FF);
    fs::create_symlink(away, root / "Albums/Trip/away.PNG");

    std::map<std::string, std::string> listed;  // URL → file
    for (const auto& group : groups(al::AssetsGroupAll)) {
        group->enumerateAssetsUsingBlock([&](const std::shared_ptr<al::Asset>& asset, std::int64_t, bool*) {
            if (asset) listed[asset->assetURL().absoluteString()] = asset->path();
        });
    }
    ASSERT_EQ(listed.size(), 14u) << "the roll's twelve, the album's own and the picture outside the library";
    const auto lookUp = [&](const std::string& url) {
        std::shared_ptr<al::Asset> found;
        bool answered = false;
        library->assetForURL(*ns::URL::fromString(url), [&](const std::shared_ptr<al::Asset>& asset) {
            answered = true;
            found = asset;
        }, [](const ns::Error& error) { ADD_FAILURE() << error.description(); });
        test::PhotoLibraryFixture::pump();
        EXPECT_TRUE(answered) << url;
        return found;
    };
    const auto urlOf = [&](const fs::path& file) {
        for (const auto& [url, path] : listed) {
            if (path == fs::canonical(file).string()) return url;
        }
        ADD_FAILURE() << file << " was not listed";
        return std::string();
    };

    test::FolderReads reads;
    ASSERT_TRUE(reads.ready());
    for (const auto& folder : {root, roll, root / "Albums", root / "Albums/Trip"}) ASSERT_TRUE(reads.watch(folder));
    for (const auto& [url, path] : listed) {
        if (path == fs::canonical(away).string()) continue;
        auto asset = lookUp(url);
        ASSERT_TRUE(asset) << url;
        EXPECT_EQ(asset->path(), path);
        EXPECT_EQ(asset->assetURL().absoluteString(), url);
    }
    EXPECT_EQ(reads.takeTotal(), 0) << "every asset of the library found without listing a folder";

    // Gone, made a FIFO or a link to another photo: as the listing would, none; still no folder listed.
    const std::string removed = urlOf(roll / "IMG_0003.PNG"), fifo = urlOf(roll / "IMG_0004.PNG"),
                      relinked = urlOf(roll / "IMG_0005.PNG"), linkedToo = urlOf(roll / "IMG_0007.PNG"),
                      outside = urlOf(away);
    fs::remove(roll / "IMG_0003.PNG");
    fs::remove(roll / "IMG_0004.PNG");
    ASSERT_EQ(::mkfifo((roll / "IMG_0004.PNG").c_str(), 0600), 0);
    fs::remove(roll / "IMG_0005.PNG");
    fs::create_symlink(roll / "IMG_0006.PNG", roll / "IMG_0005.PNG");
    fs::remove(root / "Albums/Trip/IMG_0007.PNG");
    EXPECT_FALSE(lookUp(removed));
    EXPECT_FALSE(lookUp(fifo));
    EXPECT_FALSE(lookUp(relinked));
    EXPECT_TRUE(lookUp(linkedToo)) << "the roll still holds the photo the album linked to";
    EXPECT_EQ(reads.takeTotal(), 0);

    // A picture outside the library is one only while an album links to it.
    EXPECT_TRUE(lookUp(outside));
    fs::remove(root / "Albums/Trip/away.PNG");
    EXPECT_FALSE(lookUp(outside));

    // A URL this process never made (kept from an earlier run) is still found.
    const std::string name = "IMG_" + fs::path(photos.sandbox.path()).filename().string() + ".PNG";
    photos.addFile("Saved Photos", name, test::pngOf(8, 8, 0xFF9900FF));
    auto earlier = lookUp(urlForLibraryPath("Saved Photos/" + name, "PNG"));
    ASSERT_TRUE(earlier);
    EXPECT_EQ(earlier->path(), fs::canonical(roll / name).string());
}
