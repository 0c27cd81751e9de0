#pragma once
// RTCSSDeclarations: one element's cascaded CSS declarations read into the form an element applies them
// in: the properties it reads indexed, keywords lower-cased, colours and content parsed, the box keys
// sorted by prefix. Nothing here depends on the element, so the builder reads each distinct cascade
// once and every element with that cascade applies the same object.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"
#include "platform/ui/Color.h"
#include "richtext/NSStringCSS.h"

namespace ql {

class RichTextFontDescriptor;

enum class RTCSSProperty : std::uint8_t {
    Direction, BeforeContent, FontSize, Color, BackgroundColor, Float, FontStyle, FontWeight, TextDecoration, TextAlign,
    VerticalAlign, LetterSpacing, TextShadow, LineHeight, MinimumLineHeight, MaximumLineHeight, FontVariant, Width, Height,
    WhiteSpace, Display, BorderColor, BorderWidth, BorderRadius, CoreTextFontName, Count
};

class RTCSSDeclarations {
public:
    // The prefixes of the box keys ("margin-left", "-webkit-padding-start"…).
    enum class Box : std::uint8_t { Margin, Padding, WebKitMargin, WebKitPadding, Count };
    // The side a box key names, by its physical suffix (-top, -left, -bottom, -right) and by its logical
    // one (-before as top, -after as bottom, -start, -end), read once for every element of a cascade.
    enum class Edge : std::uint8_t { None, Top, Left, Bottom, Right, Start, End };
    struct Side {
        std::string_view key;
        RTCSSLength length;
        Edge physical = Edge::None;
        Edge logical = Edge::None;
    };
    // The keys of one box prefix, each list in dictionary order: the shorthands (the prefix alone) and the
    // sides.
    struct BoxDeclarations {
        std::vector<RTCSSEdgeLengths> shorthands;
        std::vector<Side> sides;
        bool empty() const { return shorthands.empty() && sides.empty(); }
    };

    // `styles` is a dictionary (anything else reads as none); the object keeps it.
    explicit RTCSSDeclarations(ns::Value styles);

    const ns::Value& styles() const { return styles_; }
    // The value of a property when it is a text.
    std::optional<std::string_view> text(RTCSSProperty property) const { return texts_[index(property)]; }
    std::optional<std::string_view> lowerText(RTCSSProperty property) const {
        const std::optional<std::string>& lower = lowerTexts_[index(property)];
        if (!lower) return std::nullopt;
        return std::string_view(*lower);
    }
    // The colour of a colour property written as a text (nullptr when it names none); nothing otherwise.
    const std::optional<std::shared_ptr<ui::Color>>& color(RTCSSProperty property) const {
        switch (property) {
        case RTCSSProperty::Color: return color_;
        case RTCSSProperty::BackgroundColor: return backgroundColor_;
        case RTCSSProperty::BorderColor: return borderColor_;
        default: return noColor();
        }
    }
    // "before:content" decoded as CSS content.
    const std::optional<std::string>& beforeContent() const { return beforeContent_; }
    // "font-family" as written: a text or a list of them.
    const ns::Value* fontFamily() const { return fontFamily_; }
    const BoxDeclarations& box(Box box) const { return boxes_[static_cast<std::size_t>(box)]; }

    // Whether a declaration acts on the font (size, family, style, weight, name), and whether one of them
    // reads the parent's font ("inherit").
    bool changesFont() const { return changesFont_; }
    bool fontReadsParent() const { return fontReadsParent_; }
    // The font an element of this cascade made from `source` at the given text size and scale, if the
    // last one to do so had them: every element that inherits the same descriptor makes an equal one (a
    // bold run in each paragraph), so it takes that one rather than a copy of its own. Both descriptors
    // are held, so neither changes in place and neither address is taken by another object meanwhile.
    std::shared_ptr<const RichTextFontDescriptor> fontMadeFrom(const std::shared_ptr<const RichTextFontDescriptor>& source,
                                                               double textSize, double textScale) const;
    void rememberFontMadeFrom(std::shared_ptr<const RichTextFontDescriptor> source, double textSize, double textScale,
                              std::shared_ptr<const RichTextFontDescriptor> made) const;

    static std::string_view prefix(Box box) { return BoxPrefixes[static_cast<std::size_t>(box)]; }
    // The keys of `styles` under one box prefix.
    static BoxDeclarations boxDeclarations(const ns::Dictionary& styles, std::string_view prefix);

private:
    static constexpr std::array<std::string_view, static_cast<std::size_t>(Box::Count)> BoxPrefixes = {
        "margin", "padding", "-webkit-margin", "-webkit-padding"};
    static const std::optional<std::shared_ptr<ui::Color>>& noColor() {
        static const auto& none = *new std::optional<std::shared_ptr<ui::Color>>;
        return none;
    }

    static std::size_t index(RTCSSProperty property) { return static_cast<std::size_t>(property); }
    static constexpr std::size_t PropertyCount = static_cast<std::size_t>(RTCSSProperty::Count);

    ns::Value styles_;
    std::array<std::optional<std::string_view>, PropertyCount> texts_{};
    std::array<std::optional<std::string>, PropertyCount> lowerTexts_{};
    std::optional<std::shared_ptr<ui::Color>> color_, backgroundColor_, borderColor_;
    std::optional<std::string> beforeContent_;
    const ns::Value* fontFamily_ = nullptr;
    std::array<BoxDeclarations, static_cast<std::size_t>(Box::Count)> boxes_;
    bool changesFont_ = false;
    bool fontReadsParent_ = false;
    // The elements of a cascade apply it on the builder's thread; the lock keeps a caller that shares the
    // object between threads safe.
    struct MadeFont {
        std::shared_ptr<const RichTextFontDescriptor> source, made;
        double textSize, textScale;
    };
    mutable std::mutex madeFontLock_;
    mutable std::optional<MadeFont> madeFont_;
};

}  // namespace ql
