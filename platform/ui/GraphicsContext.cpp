#include "platform/ui/GraphicsContext.h"

#include <vector>

#include "platform/foundation/PerThread.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace ql::ui {

namespace {

struct Entry {
    cg::Context* context;
    std::unique_ptr<cg::BitmapContext> owned;  // set for image contexts
};

// The thread's own, kept past its thread_local objects: an image may be drawn at the end of the process too.
std::vector<Entry>& stack() {
    static ns::PerThread<std::vector<Entry>> stacks;
    return stacks.get();
}

}  // namespace

cg::Context* GraphicsGetCurrentContext() { return stack().empty() ? nullptr : stack().back().context; }

void GraphicsPushContext(cg::Context& context) { stack().push_back({&context, nullptr}); }

void GraphicsPopContext() {
    if (!stack().empty()) stack().pop_back();
}

void GraphicsBeginImageContextWithOptions(cg::Size size, bool opaque, double scale) {
    if (scale <= 0) scale = Screen::mainScreen().scale();
    auto context = cg::BitmapContext::createForImage(size, opaque, scale);
    if (!context) return;
    cg::Context* raw = context.get();
    stack().push_back({raw, std::move(context)});
}

void GraphicsBeginImageContext(cg::Size size) { GraphicsBeginImageContextWithOptions(size, false, 1); }

std::shared_ptr<Image> GraphicsGetImageFromCurrentImageContext() {
    if (stack().empty() || !stack().back().owned) return nullptr;
    cg::BitmapContext& context = *stack().back().owned;
    return Image::imageWithCGImage(context.makeImage(), context.scale(), ImageOrientation::Up);
}

void GraphicsEndImageContext() {
    if (!stack().empty() && stack().back().owned) stack().pop_back();
}

ImageContextScope::ImageContextScope(cg::Size size, bool opaque, double scale) {
    const std::size_t depth = stack().size();
    GraphicsBeginImageContextWithOptions(size, opaque, scale);
    if (stack().size() > depth) context_ = GraphicsGetCurrentContext();
}

ImageContextScope::~ImageContextScope() {
    if (context_) GraphicsEndImageContext();
}

std::shared_ptr<Image> ImageContextScope::image() const {
    return context_ ? GraphicsGetImageFromCurrentImageContext() : nullptr;
}

}  // namespace ql::ui
