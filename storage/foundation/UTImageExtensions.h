#pragma once
// Image additions: solid and tinted images, loading from a URL, drawing by a view content mode, tiles of
// a grid or of a clip rectangle, and scaling. Drawing goes through image contexts of the calling thread.

#include <memory>
#include <optional>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/graphics/Geometry.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/ViewTypes.h"

namespace ql {

// Not opaque, at the main screen's scale; nothing for an empty size.
std::shared_ptr<ui::Image> imageWithSolidColor(const ui::Color& color, cg::Size size);
// The image's shape (its alpha) filled with the colour, at the image's size and scale.
std::shared_ptr<ui::Image> imageMaskedAndTintedWithColor(const ui::Image& image, const ui::Color& color);
// Blocks until the load ends (at most the request's 10-second time-out); the loading error goes to
// `error`. Data that is no image gives nothing and no error. Not to be called on the queue that delivers
// the shared session's completions.
std::shared_ptr<ui::Image> imageWithContentsOfURL(const ns::URL& url, ns::URLRequestCachePolicy cachePolicy,
                                                  ns::Error* error);

// Draws into the current context. The aspect modes scale by the smaller (fit) or larger (fill) of the
// width and height ratios; every mode but the two stretching ones is clipped to the rectangle.
void drawInRect(const ui::Image& image, const cg::Rect& rect, ui::ContentMode contentMode);

// One tile of an even grid (tile sizes rounded to whole points); nothing for zero columns or rows or an
// empty tile.
std::shared_ptr<ui::Image> tileImageAtColumn(const ui::Image& image, std::uint64_t column, std::uint64_t columns,
                                             std::uint64_t row, std::uint64_t rows);
// The part of the image, drawn at the bounds' width, that lies in the clip rectangle; nothing for bounds
// without width or an empty clip.
std::shared_ptr<ui::Image> tileImageInClipRect(const ui::Image& image, const cg::Rect& clip, const cg::Rect& bounds,
                                               double scale);
// Stretched to the size; not opaque, at the image's scale.
std::shared_ptr<ui::Image> imageScaledToSize(const ui::Image& image, cg::Size size);

}  // namespace ql
