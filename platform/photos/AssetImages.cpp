#include "platform/photos/AssetImages.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>

#include "platform/foundation/Cache.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Operation.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/graphics/ImageFile.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Screen.h"

namespace ql::al {

namespace {

constexpr cg::Size kThumbnailSize{75, 75};
constexpr cg::Size kAspectRatioBox{120, 120};

// Made pictures kept at most: a few screens of a grid.
constexpr std::uint64_t kCacheCount = 1000;
constexpr std::uint64_t kCacheBytes = std::uint64_t{64} << 20;
// Workers making pictures for requests.
constexpr std::int64_t kWorkers = 2;

ns::Cache& cache() {
    static ns::Cache* shared = [] {
        auto* c = new ns::Cache;
        c->setName("photo library pictures");
        c->setCountLimit(kCacheCount);
        c->setTotalCostLimit(kCacheBytes);
        return c;
    }();
    return *shared;
}

ns::OperationQueue& workers() {
    // Never ended: workers may still be making pictures while the process exits.
    static auto* queue = new std::shared_ptr<ns::OperationQueue>([] {
        auto q = std::make_shared<ns::OperationQueue>();
        q->setName("photo library pictures");
        q->setMaxConcurrentOperationCount(kWorkers);
        return q;
    }());
    return **queue;
}

// The cache key of what is made of the file as it is now: its path, size and modification time, and
// `what` was made of it; none when the file cannot be looked at.
std::optional<std::string> keyFor(const std::string& path, std::string_view what) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return path + '\n' + std::to_string(info.st_size) + ' ' + std::to_string(info.st_mtim.tv_sec) + '.' +
           std::to_string(info.st_mtim.tv_nsec) + '\n' + std::string(what);
}

std::string describe(AssetImageKind kind, double scale) {
    return (kind == AssetImageKind::Thumbnail ? "thumbnail@" : "aspect@") + std::to_string(scale);
}

bool sideways(ui::ImageOrientation o) {
    return o == ui::ImageOrientation::Left || o == ui::ImageOrientation::Right ||
           o == ui::ImageOrientation::LeftMirrored || o == ui::ImageOrientation::RightMirrored;
}

// The picture drawn into `size` points at `scale`, filling it (cropping) or fitted into it.
std::shared_ptr<ui::Image> redrawn(const ui::Image& picture, cg::Size size, bool fill, double scale) {
    const cg::Size shown = picture.size();
    if (shown.width <= 0 || shown.height <= 0) return nullptr;
    const double ratio = fill ? std::max(size.width / shown.width, size.height / shown.height)
                              : std::min(size.width / shown.width, size.height / shown.height);
    const cg::Size drawn{shown.width * ratio, shown.height * ratio};
    const cg::Size canvas = fill ? size : drawn;
    const ui::ImageContextScope scope(canvas, false, scale);
    if (!scope.context()) return nullptr;  // asked for no size: nothing to draw, and no outer context to draw into
    picture.drawInRect({(canvas.width - drawn.width) / 2, (canvas.height - drawn.height) / 2, drawn.width, drawn.height});
    return scope.image();
}

std::shared_ptr<ui::Image> make(const std::string& path, AssetImageKind kind, const AssetImageScreen& screen) {
    auto file = cg::ImageFile::open(path);
    if (!file) return nullptr;
    const cg::ImageProperties& header = file->properties();
    if (header.pixelWidth <= 0 || header.pixelHeight <= 0) return nullptr;
    const ui::ImageOrientation orientation = ui::imageOrientationFromEXIF(header.orientation.value_or(1));
    const double w = header.pixelWidth, h = header.pixelHeight;
    const double shownWidth = sideways(orientation) ? h : w, shownHeight = sideways(orientation) ? w : h;
    // The part of the picture's pixels that is needed each way.
    double needed = 1;
    bool asItIs = false;
    switch (kind) {
    case AssetImageKind::Thumbnail:
        needed = kThumbnailSize.width * screen.scale / std::min(w, h);
        break;
    case AssetImageKind::AspectRatioThumbnail:
        needed = std::min(kAspectRatioBox.width * screen.scale / shownWidth, kAspectRatioBox.height * screen.scale / shownHeight);
        break;
    case AssetImageKind::FullScreen:
        // A picture that fits the screen already is handed over as it is, a pixel to a point.
        asItIs = shownWidth <= screen.size.width && shownHeight <= screen.size.height;
        needed = asItIs ? 1
                        : std::min(screen.size.width * screen.scale / shownWidth, screen.size.height * screen.scale / shownHeight);
        break;
    }
    needed = std::min(needed, 1.0);
    std::shared_ptr<const cg::Image> bitmap;
    if (auto embedded = file->embeddedThumbnail(); embedded && embedded->width() + 0.5 >= w * needed) bitmap = std::move(embedded);
    else bitmap = file->createImage(1 / needed);
    if (!bitmap) return nullptr;
    const ui::Image picture(bitmap, 1, orientation);
    switch (kind) {
    case AssetImageKind::Thumbnail: return redrawn(picture, kThumbnailSize, true, screen.scale);
    case AssetImageKind::AspectRatioThumbnail: return redrawn(picture, kAspectRatioBox, false, screen.scale);
    case AssetImageKind::FullScreen:
        return asItIs ? ui::Image::imageWithCGImage(picture.uprightBitmap()) : redrawn(picture, screen.size, false, screen.scale);
    }
    return nullptr;
}

std::uint64_t costOf(const ui::Image& image) {
    const auto& bitmap = image.CGImage();
    return bitmap ? static_cast<std::uint64_t>(bitmap->bytesPerRow()) * static_cast<std::uint64_t>(bitmap->height()) : 0;
}

struct RequestState {
    std::atomic<bool> cancelled{false};
    std::weak_ptr<ns::Operation> operation;

    void cancel() {
        cancelled = true;
        if (auto running = operation.lock()) running->cancel();
    }
};

class Request final : public AssetImageRequest {
public:
    explicit Request(std::shared_ptr<RequestState> state) : state_(std::move(state)) {}
    ~Request() override { state_->cancel(); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    void cancel() override { state_->cancel(); }

private:
    std::shared_ptr<RequestState> state_;
};

}  // namespace

AssetImageScreen AssetImageScreen::main() {
    const ui::Screen& screen = ui::Screen::mainScreen();
    return {screen.bounds().size, screen.scale()};
}

std::shared_ptr<ui::Image> cachedAssetImage(const std::string& path, AssetImageKind kind, const AssetImageScreen& screen) {
    if (kind == AssetImageKind::FullScreen) return nullptr;
    const auto key = keyFor(path, describe(kind, screen.scale));
    return key ? cache().objectForKey(*key).asObject<ui::Image>() : nullptr;
}

std::shared_ptr<ui::Image> assetImage(const std::string& path, AssetImageKind kind, const AssetImageScreen& screen) {
    if (kind == AssetImageKind::FullScreen) return make(path, kind, screen);
    const auto key = keyFor(path, describe(kind, screen.scale));
    if (!key) return nullptr;
    if (auto kept = cache().objectForKey(*key).asObject<ui::Image>()) return kept;
    auto image = make(path, kind, screen);
    if (image) cache().setObject(*key, ns::Value(image), costOf(*image));
    return image;
}

std::optional<cg::Size> assetPixelSize(const std::string& path) {
    const auto key = keyFor(path, "size");
    if (!key) return std::nullopt;
    const ns::Value kept = cache().objectForKey(*key);
    if (const ns::Array* size = kept.asArray(); size && size->size() == 2) return cg::Size{(*size)[0].doubleValue(), (*size)[1].doubleValue()};
    auto file = cg::ImageFile::open(path);
    if (!file || file->properties().pixelWidth <= 0 || file->properties().pixelHeight <= 0) return std::nullopt;
    const auto& header = file->properties();
    const bool turned = sideways(ui::imageOrientationFromEXIF(header.orientation.value_or(1)));
    const cg::Size size{static_cast<double>(turned ? header.pixelHeight : header.pixelWidth),
                        static_cast<double>(turned ? header.pixelWidth : header.pixelHeight)};
    cache().setObject(*key, ns::Value(ns::Array{ns::Value(size.width), ns::Value(size.height)}));
    return size;
}

std::shared_ptr<AssetImageRequest> requestAssetImage(const std::string& path, AssetImageKind kind,
                                                     const AssetImageScreen& screen, AssetImageResult result) {
    auto state = std::make_shared<RequestState>();
    auto operation = ns::BlockOperation::blockOperation([state, path, kind, screen, result = std::move(result)] {
        if (state->cancelled) return;
        auto image = assetImage(path, kind, screen);
        ns::DispatchQueue::main()->async([state, image, result] {
            if (!state->cancelled && result) result(image);
        });
    });
    state->operation = operation;
    workers().addOperation(operation);
    return std::make_shared<Request>(std::move(state));
}

void waitForAssetImageRequests() { workers().waitUntilAllOperationsAreFinished(); }

}  // namespace ql::al
