#pragma once
// ui::Image: the platform's image object: a bitmap with a scale (pixels per point) and an orientation,
// found by name among the app's resources (with @2x/@3x variants), decoded from data or files, drawn
// upright into the current context, made resizable with cap insets (drawn as nine parts), or animated
// as a list of frames with a duration. Encoded again by ImagePNGRepresentation / ImageJPEGRepresentation.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

namespace ql::ui {

// With the platform's values.
enum class ImageOrientation { Up, Down, Left, Right, UpMirrored, DownMirrored, LeftMirrored, RightMirrored };
enum class ImageResizingMode { Tile, Stretch };

// The orientation an EXIF orientation value (1 to 8) stands for; up for any other value.
ImageOrientation imageOrientationFromEXIF(int value);

class Image : public ns::Object {
    QL_OBJECT_NAMED(Image, ns::Object, "UIImage")
public:
    Image(std::shared_ptr<const cg::Image> bitmap, double scale, ImageOrientation orientation);

    // A resource of the main bundle by name: "icon", "icon.png", "Some.bundle/arrow.png". The variant for
    // the main screen's scale ("icon@2x.png") is preferred, then the other scales; images found are kept
    // for later calls until a memory warning.
    static std::shared_ptr<Image> imageNamed(std::string_view name);
    // A file, at the scale its name says ("@2x"); the screen's variant beside it is preferred. Not cached.
    static std::shared_ptr<Image> imageWithContentsOfFile(const std::string& path);
    // The first image of PNG, JPEG or GIF data, upright as its EXIF orientation says; nullptr when the data
    // is no image.
    static std::shared_ptr<Image> imageWithData(const ns::Data& data, double scale = 1);
    static std::shared_ptr<Image> imageWithCGImage(std::shared_ptr<const cg::Image> bitmap, double scale = 1,
                                                   ImageOrientation orientation = ImageOrientation::Up);
    // Frames shown one after another over `duration` seconds; nullptr without frames.
    static std::shared_ptr<Image> animatedImageWithImages(std::vector<std::shared_ptr<Image>> images, double duration);

    // In points, with the width and height of a sideways orientation swapped.
    cg::Size size() const;
    double scale() const { return scale_; }
    ImageOrientation imageOrientation() const { return orientation_; }
    const std::shared_ptr<const cg::Image>& CGImage() const { return bitmap_; }
    // The bitmap as it is shown: the orientation applied to its pixels.
    std::shared_ptr<const cg::Image> uprightBitmap() const;

    // Animated images: the frames and the time they take together; empty and 0 for still images.
    const std::vector<std::shared_ptr<Image>>& images() const { return images_; }
    double duration() const { return duration_; }

    const cg::EdgeInsets& capInsets() const { return capInsets_; }
    ImageResizingMode resizingMode() const { return resizingMode_; }
    std::int64_t leftCapWidth() const { return leftCapWidth_; }
    std::int64_t topCapHeight() const { return topCapHeight_; }
    // Tiles the middle parts, as the platform does by default.
    std::shared_ptr<Image> resizableImageWithCapInsets(const cg::EdgeInsets& insets) const;
    std::shared_ptr<Image> resizableImageWithCapInsets(const cg::EdgeInsets& insets, ImageResizingMode mode) const;
    // The older form: caps on the left and top, the right and bottom ones leaving one point to stretch.
    std::shared_ptr<Image> stretchableImageWithLeftCapWidth(std::int64_t leftCapWidth, std::int64_t topCapHeight) const;

    // Into the current context, upright; nothing without one.
    void drawAtPoint(cg::Point point) const;
    void drawAtPoint(cg::Point point, cg::BlendMode mode, double alpha) const;
    void drawInRect(const cg::Rect& rect) const;
    void drawInRect(const cg::Rect& rect, cg::BlendMode mode, double alpha) const;

    std::string description() const override;

private:
    Image(const Image& other, const cg::EdgeInsets& caps, ImageResizingMode mode);
    void drawUpright(cg::Context& context, const cg::Rect& rect) const;
    static void drawBitmap(cg::Context& context, const cg::Image& bitmap, const cg::Rect& rect);
    void drawNinePart(cg::Context& context, const cg::Rect& rect) const;

    std::shared_ptr<const cg::Image> bitmap_;
    double scale_ = 1;
    ImageOrientation orientation_ = ImageOrientation::Up;
    std::vector<std::shared_ptr<Image>> images_;
    double duration_ = 0;
    cg::EdgeInsets capInsets_;
    ImageResizingMode resizingMode_ = ImageResizingMode::Tile;
    std::int64_t leftCapWidth_ = 0;
    std::int64_t topCapHeight_ = 0;
    mutable std::once_flag uprightOnce_;
    mutable std::shared_ptr<const cg::Image> upright_;
};

// PNG of the bitmap (orientation not applied, as on the platform); nullopt without a bitmap.
std::optional<ns::Data> ImagePNGRepresentation(const Image& image);
// JPEG of the bitmap at a quality from 0 to 1, its orientation written as EXIF; nullopt without a bitmap.
std::optional<ns::Data> ImageJPEGRepresentation(const Image& image, double quality);

}  // namespace ql::ui
