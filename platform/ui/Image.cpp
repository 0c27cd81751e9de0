#include "platform/ui/Image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/ImageEncoding.h"
#include "platform/graphics/ImageSource.h"
#include "platform/ui/Application.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Screen.h"

namespace ql::ui {

namespace {

bool sideways(ImageOrientation o) {
    return o == ImageOrientation::Left || o == ImageOrientation::Right || o == ImageOrientation::LeftMirrored ||
           o == ImageOrientation::RightMirrored;
}

int exifFromOrientation(ImageOrientation o) {
    switch (o) {
    case ImageOrientation::Up: return 1;
    case ImageOrientation::UpMirrored: return 2;
    case ImageOrientation::Down: return 3;
    case ImageOrientation::DownMirrored: return 4;
    case ImageOrientation::LeftMirrored: return 5;
    case ImageOrientation::Right: return 6;
    case ImageOrientation::RightMirrored: return 7;
    case ImageOrientation::Left: return 8;
    }
    return 1;
}

// Scales to look for, the screen's first.
std::vector<int> scalePreference() {
    const int screen = static_cast<int>(std::lround(Screen::mainScreen().scale()));
    if (screen >= 3) return {3, 2, 1};
    if (screen == 2) return {2, 3, 1};
    return {1, 2, 3};
}

std::string scaleSuffix(int scale) { return scale == 1 ? std::string() : "@" + std::to_string(scale) + "x"; }

// Splits "dir/name.ext" into "dir/name" and "ext" (empty when the last component has no extension).
std::pair<std::string, std::string> splitExtension(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash) || dot + 1 == path.size())
        return {std::string(path), ""};
    return {std::string(path.substr(0, dot)), std::string(path.substr(dot + 1))};
}

struct NamedImages {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Image>, std::less<>> images;
    std::shared_ptr<ns::Object> memoryWarningToken;
};

NamedImages& namedImages() {
    static NamedImages* cache = [] {
        auto* c = new NamedImages;
        c->memoryWarningToken = ns::NotificationCenter::defaultCenter().addObserverForName(
            ApplicationDidReceiveMemoryWarningNotification, nullptr, nullptr, [c](const ns::Notification&) {
                std::lock_guard lock(c->mutex);
                c->images.clear();
            });
        return c;
    }();
    return *cache;
}

std::shared_ptr<Image> loadFile(const std::string& path, double scale) {
    const auto data = ns::FileManager::defaultManager().contentsAtPath(path);
    return data ? Image::imageWithData(*data, scale) : nullptr;
}

}  // namespace

ImageOrientation imageOrientationFromEXIF(int value) {
    static constexpr std::array<ImageOrientation, 8> kByValue = {
        ImageOrientation::Up,           ImageOrientation::UpMirrored, ImageOrientation::Down,
        ImageOrientation::DownMirrored, ImageOrientation::LeftMirrored, ImageOrientation::Right,
        ImageOrientation::RightMirrored, ImageOrientation::Left};
    return value >= 1 && value <= 8 ? kByValue[static_cast<std::size_t>(value - 1)] : ImageOrientation::Up;
}

Image::Image(std::shared_ptr<const cg::Image> bitmap, double scale, ImageOrientation orientation)
    : bitmap_(std::move(bitmap)), scale_(scale > 0 && std::isfinite(scale) ? scale : 1), orientation_(orientation) {}

Image::Image(const Image& other, const cg::EdgeInsets& caps, ImageResizingMode mode)
    : bitmap_(other.bitmap_),
      scale_(other.scale_),
      orientation_(other.orientation_),
      images_(other.images_),
      duration_(other.duration_),
      capInsets_(caps),
      resizingMode_(mode) {}

std::shared_ptr<Image> Image::imageNamed(std::string_view name) {
    if (name.empty()) return nullptr;
    const std::string key = std::string(name) + "|" + std::to_string(Screen::mainScreen().scale());
    NamedImages& cache = namedImages();
    {
        std::lock_guard lock(cache.mutex);
        if (auto found = cache.images.find(key); found != cache.images.end()) return found->second;
    }
    auto [base, extension] = splitExtension(name);
    if (extension.empty()) extension = "png";
    std::shared_ptr<Image> image;
    for (int scale : scalePreference()) {
        if (auto path = ns::Bundle::main().pathForResource(base + scaleSuffix(scale), extension)) {
            image = loadFile(*path, scale);
            if (image) break;
        }
    }
    if (image) {
        std::lock_guard lock(cache.mutex);
        cache.images.emplace(key, image);
    }
    return image;
}

std::shared_ptr<Image> Image::imageWithContentsOfFile(const std::string& path) {
    const auto [base, extension] = splitExtension(path);
    const std::string dotted = extension.empty() ? "" : "." + extension;
    for (int scale : {3, 2}) {
        const std::string suffix = scaleSuffix(scale);
        if (base.size() > suffix.size() && base.ends_with(suffix)) return loadFile(path, scale);
    }
    const int screen = scalePreference().front();
    if (screen > 1) {
        if (auto image = loadFile(base + scaleSuffix(screen) + dotted, screen)) return image;
    }
    return loadFile(path, 1);
}

std::shared_ptr<Image> Image::imageWithData(const ns::Data& data, double scale) {
    cg::ImageSource source(data);
    auto bitmap = source.createImage(0);
    if (!bitmap) return nullptr;
    const auto properties = source.properties(0);
    const ImageOrientation orientation =
        properties && properties->orientation ? imageOrientationFromEXIF(*properties->orientation) : ImageOrientation::Up;
    return std::make_shared<Image>(std::move(bitmap), scale, orientation);
}

std::shared_ptr<Image> Image::imageWithCGImage(std::shared_ptr<const cg::Image> bitmap, double scale,
                                               ImageOrientation orientation) {
    if (!bitmap) return nullptr;
    return std::make_shared<Image>(std::move(bitmap), scale, orientation);
}

std::shared_ptr<Image> Image::animatedImageWithImages(std::vector<std::shared_ptr<Image>> images, double duration) {
    std::erase(images, nullptr);
    if (images.empty()) return nullptr;
    const Image& first = *images.front();
    auto animated = std::make_shared<Image>(first.bitmap_, first.scale_, first.orientation_);
    animated->images_ = std::move(images);
    animated->duration_ = duration;
    return animated;
}

cg::Size Image::size() const {
    if (!bitmap_) return {};
    const double w = bitmap_->width() / scale_, h = bitmap_->height() / scale_;
    return sideways(orientation_) ? cg::Size{h, w} : cg::Size{w, h};
}

std::shared_ptr<const cg::Image> Image::uprightBitmap() const {
    if (!bitmap_ || orientation_ == ImageOrientation::Up) return bitmap_;
    std::call_once(uprightOnce_, [this] {
        const int w = bitmap_->width(), h = bitmap_->height();
        const int dw = sideways(orientation_) ? h : w, dh = sideways(orientation_) ? w : h;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        for (int v = 0; v < dh; ++v) {
            for (int u = 0; u < dw; ++u) {
                // The stored pixel shown at (u, v).
                int x = u, y = v;
                switch (orientation_) {
                case ImageOrientation::Up: break;
                case ImageOrientation::UpMirrored: x = w - 1 - u; break;
                case ImageOrientation::Down: x = w - 1 - u, y = h - 1 - v; break;
                case ImageOrientation::DownMirrored: y = h - 1 - v; break;
                case ImageOrientation::Right: x = v, y = h - 1 - u; break;
                case ImageOrientation::Left: x = w - 1 - v, y = u; break;
                case ImageOrientation::LeftMirrored: x = v, y = u; break;
                case ImageOrientation::RightMirrored: x = w - 1 - v, y = h - 1 - u; break;
                }
                pixels[static_cast<std::size_t>(v) * static_cast<std::size_t>(dw) + static_cast<std::size_t>(u)] =
                    bitmap_->pixels()[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
            }
        }
        upright_ = cg::Image::create(dw, dh, std::move(pixels), bitmap_->layout());
    });
    return upright_;
}

std::shared_ptr<Image> Image::resizableImageWithCapInsets(const cg::EdgeInsets& insets) const {
    return resizableImageWithCapInsets(insets, ImageResizingMode::Tile);
}

std::shared_ptr<Image> Image::resizableImageWithCapInsets(const cg::EdgeInsets& insets, ImageResizingMode mode) const {
    const cg::EdgeInsets caps{std::max(0.0, insets.top), std::max(0.0, insets.left), std::max(0.0, insets.bottom),
                              std::max(0.0, insets.right)};
    return std::shared_ptr<Image>(new Image(*this, caps, mode));
}

std::shared_ptr<Image> Image::stretchableImageWithLeftCapWidth(std::int64_t leftCapWidth, std::int64_t topCapHeight) const {
    const cg::Size s = size();
    const double left = static_cast<double>(std::max<std::int64_t>(0, leftCapWidth));
    const double top = static_cast<double>(std::max<std::int64_t>(0, topCapHeight));
    const cg::EdgeInsets caps{top, left, top > 0 ? std::max(0.0, s.height - top - 1) : 0,
                              left > 0 ? std::max(0.0, s.width - left - 1) : 0};
    auto image = std::shared_ptr<Image>(new Image(*this, caps, ImageResizingMode::Stretch));
    image->leftCapWidth_ = std::max<std::int64_t>(0, leftCapWidth);
    image->topCapHeight_ = std::max<std::int64_t>(0, topCapHeight);
    return image;
}

void Image::drawAtPoint(cg::Point point) const { drawAtPoint(point, cg::BlendMode::Normal, 1); }

void Image::drawAtPoint(cg::Point point, cg::BlendMode mode, double alpha) const {
    drawInRect({point, size()}, mode, alpha);
}

void Image::drawInRect(const cg::Rect& rect) const { drawInRect(rect, cg::BlendMode::Normal, 1); }

void Image::drawInRect(const cg::Rect& rect, cg::BlendMode mode, double alpha) const {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context || !bitmap_ || cg::rectIsEmpty(rect)) return;
    context->saveGState();
    context->setBlendMode(mode);
    context->setAlpha(alpha);
    if (capInsets_ == cg::EdgeInsets::zero()) drawUpright(*context, rect);
    else drawNinePart(*context, rect);
    context->restoreGState();
}

void Image::drawUpright(cg::Context& context, const cg::Rect& rect) const {
    const auto upright = uprightBitmap();
    if (!upright) return;
    drawBitmap(context, *upright, rect);
}

void Image::drawBitmap(cg::Context& context, const cg::Image& bitmap, const cg::Rect& rect) {
    // The pixel grid runs down the rectangle, which is upright in the view layer's top-left contexts.
    context.drawImage(bitmap, cg::concat(cg::AffineTransform::makeScale(rect.size.width / bitmap.width(),
                                                                        rect.size.height / bitmap.height()),
                                         cg::AffineTransform::makeTranslation(rect.origin.x, rect.origin.y)));
}

void Image::drawNinePart(cg::Context& context, const cg::Rect& rect) const {
    const auto upright = uprightBitmap();
    if (!upright) return;
    const double width = upright->width(), height = upright->height();
    // Caps wider than the image share it in proportion; caps wider than the rectangle shrink likewise.
    auto fit = [](double first, double second, double room, double* a, double* b) {
        if (first + second > room && first + second > 0) {
            *a = room * first / (first + second);
            *b = room - *a;
        } else {
            *a = first;
            *b = second;
        }
    };
    // In the image: whole pixels, so that neighbouring parts meet without a seam, and one pixel kept between
    // caps that would leave nothing to stretch, as a stretchable image keeps.
    auto pixelCaps = [&](double first, double second, double room, double* a, double* b) {
        fit(first * scale_, second * scale_, room, a, b);
        *a = std::round(*a);
        *b = std::round(*b);
        if (room >= 3 && room - *a - *b < 1) {
            *a = std::min(*a, room - 1);
            *b = std::max(0.0, room - *a - 1);
        }
    };
    double left, right, top, bottom;
    pixelCaps(capInsets_.left, capInsets_.right, width, &left, &right);
    pixelCaps(capInsets_.top, capInsets_.bottom, height, &top, &bottom);
    double dstLeft, dstRight, dstTop, dstBottom;
    fit(left / scale_, right / scale_, rect.size.width, &dstLeft, &dstRight);
    fit(top / scale_, bottom / scale_, rect.size.height, &dstTop, &dstBottom);
    const std::array<double, 4> srcX{0, left, width - right, width};
    const std::array<double, 4> srcY{0, top, height - bottom, height};
    const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    // Parts meet on device pixels: a seam inside a pixel would be covered twice at part coverage and show
    // as a lighter line.
    const cg::AffineTransform ctm = context.getCTM();
    const bool square = ctm.b == 0 && ctm.c == 0 && ctm.a != 0 && ctm.d != 0;
    auto onPixelX = [&](double v) { return square ? (std::round(ctm.a * v + ctm.tx) - ctm.tx) / ctm.a : v; };
    auto onPixelY = [&](double v) { return square ? (std::round(ctm.d * v + ctm.ty) - ctm.ty) / ctm.d : v; };
    const std::array<double, 4> dstX{x, onPixelX(x + dstLeft), onPixelX(x + w - dstRight), x + w};
    const std::array<double, 4> dstY{y, onPixelY(y + dstTop), onPixelY(y + h - dstBottom), y + h};

    for (std::size_t row = 0; row < 3; ++row) {
        for (std::size_t column = 0; column < 3; ++column) {
            const cg::Rect dst{dstX[column], dstY[row], dstX[column + 1] - dstX[column], dstY[row + 1] - dstY[row]};
            const cg::Rect src{srcX[column], srcY[row], srcX[column + 1] - srcX[column], srcY[row + 1] - srcY[row]};
            if (dst.size.width <= 0 || dst.size.height <= 0 || src.size.width <= 0 || src.size.height <= 0) continue;
            const auto part = upright->cropped(src);
            if (!part) continue;
            const bool middle = row == 1 || column == 1;
            if (!middle || resizingMode_ == ImageResizingMode::Stretch) {
                drawBitmap(context, *part, dst);
                continue;
            }
            // Tiles at their natural size from the part's top-left corner, cut at its far edges.
            const double tileW = part->width() / scale_, tileH = part->height() / scale_;
            context.saveGState();
            context.clipToRect(dst);
            context.translateCTM(dst.origin.x, dst.origin.y + tileH);
            context.scaleCTM(1, -1);
            context.drawTiledImage({0, 0, tileW, tileH}, *part);
            context.restoreGState();
        }
    }
}

std::string Image::description() const {
    return "<UIImage: " + ns::addressText(this) + ">, " + cg::toString(size());
}

std::optional<ns::Data> ImagePNGRepresentation(const Image& image) {
    if (!image.CGImage()) return std::nullopt;
    return cg::encodePNG(*image.CGImage());
}

std::optional<ns::Data> ImageJPEGRepresentation(const Image& image, double quality) {
    if (!image.CGImage()) return std::nullopt;
    return cg::encodeJPEG(*image.CGImage(), quality, exifFromOrientation(image.imageOrientation()));
}

}  // namespace ql::ui
