#pragma once
// The current drawing context of the view layer, a stack per thread: views push theirs while they draw,
// and image contexts render into a bitmap that becomes an image. Image contexts have their origin at the
// top left, y down, in points.

#include <memory>

#include "platform/graphics/Context.h"
#include "platform/graphics/Geometry.h"

namespace ql::ui {

class Image;

// The context on top of this thread's stack, or nullptr.
cg::Context* GraphicsGetCurrentContext();
// Makes `context` current until the matching pop; the caller keeps it alive meanwhile.
void GraphicsPushContext(cg::Context& context);
void GraphicsPopContext();

// Pushes a new image context of `size` points at `scale` pixels per point (0: the main screen's scale).
// An empty size pushes nothing, as the platform refuses it.
void GraphicsBeginImageContextWithOptions(cg::Size size, bool opaque, double scale);
// Not opaque, at scale 1.
void GraphicsBeginImageContext(cg::Size size);
// An image of what the current image context holds now (its scale, upright); nullptr when the current
// context is no image context.
std::shared_ptr<Image> GraphicsGetImageFromCurrentImageContext();
// Pops the current context when it is an image context.
void GraphicsEndImageContext();

// An image context for the lifetime of the scope, ended even when the drawing throws. When none could be
// begun (an empty size) there is nothing to draw into and nothing is ended, so an outer context stays.
class ImageContextScope {
public:
    ImageContextScope(cg::Size size, bool opaque, double scale);
    ~ImageContextScope();
    ImageContextScope(const ImageContextScope&) = delete;
    ImageContextScope& operator=(const ImageContextScope&) = delete;

    // The context begun, or nullptr.
    cg::Context* context() const { return context_; }
    // What the context holds now; nullptr when none was begun.
    std::shared_ptr<Image> image() const;

private:
    cg::Context* context_ = nullptr;
};

}  // namespace ql::ui
