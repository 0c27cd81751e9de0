#pragma once
// UTCustomColoredAccessory: a table-cell accessory glyph (a chevron in one of four directions, or two
// overlapping squares) stroked in any colour, with another colour while highlighted.

#include <cstdint>
#include <memory>

#include "platform/ui/Color.h"
#include "platform/ui/Control.h"

namespace ql {

enum class UTCustomColoredAccessoryType : std::uint64_t {
    Right = 0,
    Left = 1,
    Up = 2,
    Down = 3,
    Square = 4,
};

class UTCustomColoredAccessory : public ui::Control {
    QL_OBJECT(UTCustomColoredAccessory, ui::Control)

public:
    UTCustomColoredAccessory() : UTCustomColoredAccessory(cg::Rect::zero()) {}
    explicit UTCustomColoredAccessory(const cg::Rect& frame);

    // 15 points square; the back square is white behind the shared black colour, black otherwise.
    static std::shared_ptr<UTCustomColoredAccessory> accessoryWithColor(
        const std::shared_ptr<ui::Color>& color, std::uint64_t type = static_cast<std::uint64_t>(UTCustomColoredAccessoryType::Right));
    static std::shared_ptr<UTCustomColoredAccessory> squareAccessoryWithColor(const std::shared_ptr<ui::Color>& color,
                                                                            const std::shared_ptr<ui::Color>& backgroundColor);

    // Black while unset.
    std::shared_ptr<ui::Color> accessoryColor() const;
    void setAccessoryColor(std::shared_ptr<ui::Color> color) { accessoryColor_ = std::move(color); }
    // White while unset.
    std::shared_ptr<ui::Color> highlightedColor() const;
    void setHighlightedColor(std::shared_ptr<ui::Color> color) { highlightedColor_ = std::move(color); }
    // A value outside the glyph types draws nothing.
    std::uint64_t type() const { return type_; }
    void setType(std::uint64_t type) { type_ = type; }
    const std::shared_ptr<ui::Color>& frontSquareAccessoryColor() const { return frontSquareColor_; }
    void setFrontSquareAccessoryColor(std::shared_ptr<ui::Color> color) { frontSquareColor_ = std::move(color); }
    const std::shared_ptr<ui::Color>& backSquareAccessoryColor() const { return backSquareColor_; }
    void setBackSquareAccessoryColor(std::shared_ptr<ui::Color> color) { backSquareColor_ = std::move(color); }

    void setHighlighted(bool highlighted) override;
    // Drawing leaves every colour property as it was.
    void drawRect(const cg::Rect& rect) override;

private:
    std::shared_ptr<ui::Color> accessoryColor_;
    std::shared_ptr<ui::Color> highlightedColor_;
    std::uint64_t type_ = 0;
    std::shared_ptr<ui::Color> frontSquareColor_;
    std::shared_ptr<ui::Color> backSquareColor_;
};

}  // namespace ql
