#include "storage/foundation/UTCustomColoredAccessory.h"

#include <array>

#include "platform/ui/GraphicsContext.h"

namespace ql {

namespace {

constexpr double kStrokeWidth = 3;
constexpr double kArm = 4.5;
constexpr double kSquareSide = 9;

const ui::Color& orBlack(const std::shared_ptr<ui::Color>& color) { return color ? *color : *ui::Color::blackColor(); }

void strokeSquare(cg::Context& context, double x, double y, const ui::Color& color) {
    context.setStrokeColor(color.CGColor());
    context.strokeRect({x, y, kSquareSide, kSquareSide});
}

}  // namespace

UTCustomColoredAccessory::UTCustomColoredAccessory(const cg::Rect& frame) : ui::Control(frame) {
    setBackgroundColor(ui::Color::clearColor());
}

std::shared_ptr<UTCustomColoredAccessory> UTCustomColoredAccessory::accessoryWithColor(
    const std::shared_ptr<ui::Color>& color, std::uint64_t type) {
    auto accessory = std::make_shared<UTCustomColoredAccessory>(cg::Rect{0, 0, 15, 15});
    accessory->setAccessoryColor(color);
    accessory->setFrontSquareAccessoryColor(color);
    accessory->setType(type);
    accessory->setBackSquareAccessoryColor(color == ui::Color::blackColor() ? ui::Color::whiteColor()
                                                                             : ui::Color::blackColor());
    return accessory;
}

std::shared_ptr<UTCustomColoredAccessory> UTCustomColoredAccessory::squareAccessoryWithColor(
    const std::shared_ptr<ui::Color>& color, const std::shared_ptr<ui::Color>& backgroundColor) {
    auto accessory = std::make_shared<UTCustomColoredAccessory>(cg::Rect{0, 0, 15, 15});
    accessory->setAccessoryColor(color);
    accessory->setFrontSquareAccessoryColor(color);
    accessory->setType(static_cast<std::uint64_t>(UTCustomColoredAccessoryType::Square));
    accessory->setBackSquareAccessoryColor(backgroundColor);
    return accessory;
}

std::shared_ptr<ui::Color> UTCustomColoredAccessory::accessoryColor() const {
    return accessoryColor_ ? accessoryColor_ : ui::Color::blackColor();
}

std::shared_ptr<ui::Color> UTCustomColoredAccessory::highlightedColor() const {
    return highlightedColor_ ? highlightedColor_ : ui::Color::whiteColor();
}

void UTCustomColoredAccessory::setHighlighted(bool highlighted) {
    ui::Control::setHighlighted(highlighted);
    setNeedsDisplay();
}

void UTCustomColoredAccessory::drawRect(const cg::Rect&) {
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context || type_ > static_cast<std::uint64_t>(UTCustomColoredAccessoryType::Square)) return;
    context->setLineWidth(kStrokeWidth);
    context->setLineCap(cg::LineCap::Square);
    context->setLineJoin(cg::LineJoin::Miter);
    const cg::Rect& b = bounds();
    const double right = b.origin.x + b.size.width, top = b.origin.y, bottom = top + b.size.height;
    const double midY = top + b.size.height / 2;

    const auto type = static_cast<UTCustomColoredAccessoryType>(type_);
    if (type == UTCustomColoredAccessoryType::Square) {
        const bool highlighted = isHighlighted();
        strokeSquare(*context, b.origin.x + 5, top + 1, highlighted ? *highlightedColor() : orBlack(backSquareColor_));
        strokeSquare(*context, b.origin.x + 3, top + 3, highlighted ? *highlightedColor() : orBlack(frontSquareColor_));
        return;
    }
    // The two arm ends and the tip between them.
    std::array<cg::Point, 3> points;
    switch (type) {
        case UTCustomColoredAccessoryType::Right: {
            const double x = right - 3;
            points = {{{x - kArm, midY - kArm}, {x, midY}, {x - kArm, midY + kArm}}};
            break;
        }
        case UTCustomColoredAccessoryType::Left: {
            const double x = right - 10;
            points = {{{x + kArm, midY - kArm}, {x, midY}, {x + kArm, midY + kArm}}};
            break;
        }
        case UTCustomColoredAccessoryType::Up: {
            const double x = right - 7, y = top + 5;
            points = {{{x - kArm, y + kArm}, {x, y}, {x + kArm, y + kArm}}};
            break;
        }
        default: {
            const double x = right - 7, y = bottom - 5;
            points = {{{x - kArm, y - kArm}, {x, y}, {x + kArm, y - kArm}}};
            break;
        }
    }
    context->beginPath();
    context->moveToPoint(points[0].x, points[0].y);
    context->addLineToPoint(points[1].x, points[1].y);
    context->addLineToPoint(points[2].x, points[2].y);
    context->setStrokeColor((isHighlighted() ? highlightedColor() : accessoryColor())->CGColor());
    context->strokePath();
}

}  // namespace ql
