#pragma once
// ui::Label: read-only text in a font and colour, aligned and broken into at most numberOfLines lines
// (0: as many as fit), cut by the line-break mode, set vertically centred in the bounds. It measures
// itself with the string drawing of the text layer and draws in the display pass.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/TextTypes.h"
#include "platform/ui/View.h"

namespace ql::ui {

class Color;
class Font;

enum class BaselineAdjustment { AlignBaselines = 0, AlignCenters = 1, None = 2 };

class Label : public View {
    QL_OBJECT_NAMED(Label, View, "UILabel")
public:
    Label() : Label(cg::Rect::zero()) {}
    explicit Label(const cg::Rect& frame);

    const std::optional<std::string>& text() const { return text_; }
    virtual void setText(std::optional<std::string> text);
    // The system font of 17 points unless set; setting none restores it.
    const std::shared_ptr<Font>& font() const { return font_; }
    virtual void setFont(std::shared_ptr<Font> font);
    // Black unless set; setting none restores it.
    const std::shared_ptr<Color>& textColor() const { return textColor_; }
    virtual void setTextColor(std::shared_ptr<Color> color);
    const std::shared_ptr<Color>& highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(std::shared_ptr<Color> color);
    const std::shared_ptr<Color>& shadowColor() const { return shadowColor_; }
    void setShadowColor(std::shared_ptr<Color> color);
    cg::Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(cg::Size offset);
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment alignment);
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode mode);
    std::int64_t numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(std::int64_t lines);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    // One line of text shrinks its font down to this share of its size to fit the width.
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts);
    double minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(double factor);
    double minimumFontSize() const { return minimumFontSize_; }
    void setMinimumFontSize(double size);
    BaselineAdjustment baselineAdjustment() const { return baselineAdjustment_; }
    void setBaselineAdjustment(BaselineAdjustment adjustment) { baselineAdjustment_ = adjustment; }
    // The width multi-line text wraps at for its intrinsic size.
    double preferredMaxLayoutWidth() const { return preferredMaxLayoutWidth_; }
    void setPreferredMaxLayoutWidth(double width);

    // Where the text goes within `bounds` when limited to that many lines (0: no limit).
    virtual cg::Rect textRectForBounds(const cg::Rect& bounds, std::int64_t numberOfLines) const;
    virtual void drawTextInRect(const cg::Rect& rect);

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    void drawRect(const cg::Rect& rect) override;

    std::string description() const override;

protected:
    // The font drawn with: the set one, shrunk to fit when asked.
    std::shared_ptr<Font> drawingFont(double width) const;

private:
    void changed();
    cg::Size measure(const Font& font, cg::Size limit, std::int64_t lines) const;

    std::optional<std::string> text_;
    std::shared_ptr<Font> font_;
    std::shared_ptr<Color> textColor_;
    std::shared_ptr<Color> highlightedTextColor_;
    std::shared_ptr<Color> shadowColor_;
    cg::Size shadowOffset_{0, -1};
    TextAlignment alignment_ = TextAlignment::Natural;
    LineBreakMode lineBreakMode_ = LineBreakMode::TruncatingTail;
    std::int64_t numberOfLines_ = 1;
    bool enabled_ = true;
    bool highlighted_ = false;
    bool adjustsFontSize_ = false;
    double minimumScaleFactor_ = 0;
    double minimumFontSize_ = 0;
    BaselineAdjustment baselineAdjustment_ = BaselineAdjustment::AlignBaselines;
    double preferredMaxLayoutWidth_ = 0;
};

}  // namespace ql::ui
