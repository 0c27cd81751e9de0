#pragma once
// A photo library made for a test: a fresh sandbox whose library folder gets pictures of chosen sizes and
// colours in chosen albums, and a pump for the main queue the library answers on.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/Image.h"
#include "platform/photos/AssetsLibrary.h"
#include "platform/ui/Image.h"

namespace ql::test {

// A solid bitmap of straight RGBA colour.
inline std::shared_ptr<const cg::Image> solidBitmap(int width, int height, std::uint32_t rgba) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        bytes[i] = rgba >> 24;
        bytes[i + 1] = (rgba >> 16) & 0xFF;
        bytes[i + 2] = (rgba >> 8) & 0xFF;
        bytes[i + 3] = rgba & 0xFF;
    }
    return cg::Image::fromRGBA(width, height, bytes.data());
}

inline std::string pngOf(int width, int height, std::uint32_t rgba) {
    return ui::ImagePNGRepresentation(*ui::Image::imageWithCGImage(solidBitmap(width, height, rgba)))->toString();
}

class PhotoLibraryFixture {
public:
    PhotoLibraryFixture() { al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::Authorized); }
    ~PhotoLibraryFixture() { al::AssetsLibrary::setAuthorizationStatus(al::AuthorizationStatus::NotDetermined); }

    // `folder` inside the library ("Saved Photos", "Photo Library", "Albums/Trip"); the file's bytes.
    void addFile(const std::string& folder, const std::string& name, const std::string& bytes) const {
        const std::filesystem::path dir = std::filesystem::path(al::AssetsLibrary::folder()) / folder;
        std::filesystem::create_directories(dir);
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // `count` pictures named IMG_0001.PNG on, each its own shade.
    void addPictures(const std::string& folder, int count, int width = 64, int height = 48) const {
        for (int i = 1; i <= count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04d.PNG", i);
            addFile(folder, name, pngOf(width, height, 0x2060A0FF + (static_cast<std::uint32_t>(i * 23) << 24)));
        }
    }

    // Runs what the main queue holds, as the main run loop would (on a manual clock).
    static void pump() {
        for (int i = 0; i < 3; ++i) ns::Clock::advance(0);
    }

    ns::TemporarySandbox sandbox;
};

}  // namespace ql::test
