#include "platform/ui/EmitterLayer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/graphics/Context.h"

namespace ql::ui {

namespace {

// Where the n-th of `count` particles stands on the emitter's shape.
cg::Point pointOnShape(EmitterShape shape, cg::Point centre, cg::Size size, int n, int count) {
    const double t = count > 1 ? double(n) / count : 0;
    switch (shape) {
    case EmitterShape::Point: return centre;
    case EmitterShape::Line: return {centre.x - size.width / 2 + size.width * t, centre.y};
    case EmitterShape::Rectangle:
    case EmitterShape::Circle: {
        const double angle = 2 * std::numbers::pi * t;
        return {centre.x + size.width / 2 * std::cos(angle), centre.y + size.height / 2 * std::sin(angle)};
    }
    }
    return centre;
}

}  // namespace

std::shared_ptr<EmitterCell> EmitterLayer::cellNamed(std::string_view name) const {
    auto it = std::find_if(cells_.begin(), cells_.end(), [&](const auto& cell) { return cell->name() == name; });
    return it == cells_.end() ? nullptr : *it;
}

void EmitterLayer::renderContents(cg::Context& context) {
    Layer::renderContents(context);
    for (const auto& cell : cells_) {
        if (cell->birthRate() <= 0 || !cell->contents() || !cell->contents()->CGImage()) continue;
        const cg::Image& picture = *cell->contents()->CGImage();
        const cg::Size size = cell->contents()->size();
        if (picture.width() == 0 || picture.height() == 0) continue;
        const int count = std::clamp(int(std::ceil(cell->birthRate())), 1, kMaximumDrawnParticles);
        for (int n = 0; n < count; ++n) {
            const cg::Point at = pointOnShape(shape_, position_, size_, n, count);
            const cg::AffineTransform toUser{size.width / picture.width(), 0, 0, size.height / picture.height(),
                                             at.x - size.width / 2, at.y - size.height / 2};
            context.drawImage(picture, toUser);
        }
    }
}

}  // namespace ql::ui
