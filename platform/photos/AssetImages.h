#pragma once
// The pictures the photo library shows of an asset: its square thumbnail, its aspect-ratio thumbnail and
// its full-screen image. Each is made from the picture's file at the size it is shown: from the file's
// embedded thumbnail when that is large enough and shows the picture the same way, else decoded at reduced
// size, so that a camera picture far larger than the screen costs a fraction of its whole decoding and one
// over the decoder's pixel budget still shows. Thumbnails are made once and kept in a memory cache keyed by
// the file's path, size and modification time (and the screen's scale), so that a changed file is made
// again. They are made only when asked for: synchronously, or away from the main thread for a grid that
// must not wait on them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Image.h"

namespace ql::al {

enum class AssetImageKind {
    Thumbnail,             // a square crop, 75 points a side
    AspectRatioThumbnail,  // the whole picture within 120 points a side
    FullScreen,            // as it is when it fits the screen, else fitted to it; never kept
};

// What the picture is shown on: the screen's size in points and its pixels per point.
struct AssetImageScreen {
    cg::Size size;
    double scale = 1;
    static AssetImageScreen main();
};

// Made or found in the cache, on the calling thread; nullptr when the file is no picture that can be read.
std::shared_ptr<ui::Image> assetImage(const std::string& path, AssetImageKind kind, const AssetImageScreen& screen);
// Found in the cache only.
std::shared_ptr<ui::Image> cachedAssetImage(const std::string& path, AssetImageKind kind, const AssetImageScreen& screen);
// The picture's size in pixels as it is shown (its orientation applied), from its header; kept as the
// thumbnails are.
std::optional<cg::Size> assetPixelSize(const std::string& path);

// A picture being made away from the main thread. Dropping the last reference cancels it: a request not
// yet started is never made, and no result is handed over after the cancel.
class AssetImageRequest {
public:
    virtual ~AssetImageRequest() = default;
    virtual void cancel() = 0;
};

using AssetImageResult = std::function<void(const std::shared_ptr<ui::Image>& image)>;
// Makes the picture on a worker thread and hands it (nullptr when there is none) to `result` on the main
// queue, later, never inside the call.
std::shared_ptr<AssetImageRequest> requestAssetImage(const std::string& path, AssetImageKind kind,
                                                     const AssetImageScreen& screen, AssetImageResult result);
// Blocks until every request made so far has been made or dropped; their results still wait on the main
// queue.
void waitForAssetImageRequests();

}  // namespace ql::al
