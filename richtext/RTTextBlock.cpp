#include "richtext/RTTextBlock.h"

#include <functional>

namespace ql {

bool RTTextBlock::isEqual(const ns::Object& other) const {
    if (this == &other) return true;
    auto* block = dynamic_cast<const RTTextBlock*>(&other);
    if (!block || !(block->padding_ == padding_)) return false;
    if (!backgroundColor_ || !block->backgroundColor_) return !backgroundColor_ && !block->backgroundColor_;
    return backgroundColor_->isEqual(*block->backgroundColor_);
}

std::size_t RTTextBlock::hash() const {
    // Equal colours are equal in their drawing colour, so hash that.
    std::size_t hash = 7;
    const auto mix = [&hash](double value) { hash = hash * 31 + std::hash<double>()(value == 0 ? 0 : value); };
    mix(padding_.top);
    mix(padding_.left);
    mix(padding_.bottom);
    mix(padding_.right);
    if (backgroundColor_) {
        const cg::RGBA rgba = backgroundColor_->CGColor().rgba();
        mix(rgba.r);
        mix(rgba.g);
        mix(rgba.b);
        mix(rgba.a);
    }
    return hash;
}

}  // namespace ql
