#include <algorithm>
#include <cmath>

#include "platform/foundation/Text.h"
#include "platform/graphics/Path.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/AttributeValues.h"
#include "platform/text/LinePositions.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/GraphicsContext.h"
#include "web/label/AttributedLabel.h"

namespace ql {

namespace {

constexpr double Unbounded = 100000;
// Wrapped text needs more room than its one-line width: the share that shrinking allows for.
constexpr double WrappingAllowance = 1.1557273497909217;
constexpr char16_t Ellipsis[] = u"\u2026";

bool isNewline(char16_t c) { return c == u'\n' || c == u'\r' || c == 0x85 || c == 0x2028 || c == 0x2029; }

double numberAttribute(const ns::Dictionary& attributes, std::string_view key) {
    const ns::Value* value = attributes.find(key);
    return value && value->isNumber() ? static_cast<float>(value->doubleValue()) : 0.0;
}

// Where a run's box or strike starts along its line: at the caret of its first character or, for a
// right-to-left run, at the caret just past it on its own side (after its last character), its left end
// whatever follows it.
double runOffset(const ct::Line& line, const ct::Run& run) {
    if (!run.isRightToLeft()) return ct::offsetForStringIndex(line, run.stringRange().location);
    double afterRun = 0;
    ct::offsetForStringIndex(line, run.stringRange().end(), &afterRun);
    return afterRun;
}

// The text with every font replaced by the same face at the scaled size, whole points down.
ct::AttributedString shrinkFonts(const ct::AttributedString& text, double scale) {
    ct::AttributedString shrunk = text;
    text.enumerateAttribute(ct::FontAttributeName, {0, text.length()}, [&](const ns::Value& value, ns::Range range, bool&) {
        auto font = ct::fontFromValue(value);
        if (!font) return;
        auto smaller = ui::Font::fontWithName(font->fontName(), std::floor(font->pointSize() * scale));
        if (!smaller) return;
        shrunk.removeAttribute(ct::FontAttributeName, range);
        shrunk.addAttribute(ct::FontAttributeName, ns::Value(smaller), range);
    });
    return shrunk;
}

}  // namespace

// What one draw lays out in place of the label's own text when it shrinks fonts: the label's text and
// its cached framesetter stay as they are, and the override ends with the draw.
struct AttributedLabel::DrawingPass {
    AttributedLabel& label;
    ct::AttributedString rendered;
    std::shared_ptr<const ct::Framesetter> framesetter;

    DrawingPass(AttributedLabel& owner, const ct::AttributedString& text)
        : label(owner), rendered(owner.renderedFormOf(text)), framesetter(std::make_shared<const ct::Framesetter>(rendered)) {
        label.renderOverride_ = &rendered;
        label.framesetterOverride_ = framesetter;
    }
    ~DrawingPass() {
        label.renderOverride_ = nullptr;
        label.framesetterOverride_.reset();
    }
    DrawingPass(const DrawingPass&) = delete;
    DrawingPass& operator=(const DrawingPass&) = delete;
};

void AttributedLabel::drawTextInRect(const cg::Rect& rect) {
    const cg::Rect inset = cg::insetRect(rect, textInsets_);
    if (!attributedText_) {
        ui::Label::drawTextInRect(inset);
        return;
    }
    cg::Context* context = ui::GraphicsGetCurrentContext();
    if (!context) return;

    std::optional<DrawingPass> shrinking;
    if (adjustsFontSizeToFitWidth() && numberOfLines() >= 1) {
        double textWidth = sizeThatFits(numberOfLines() > 1 ? cg::Size{Unbounded, Unbounded} : cg::Size{0, 0}).width;
        const double available = frame().size.width * static_cast<double>(numberOfLines());
        if (numberOfLines() >= 2 && lineBreakMode() == ui::LineBreakMode::WordWrapping) textWidth *= WrappingAllowance;
        if (textWidth > available && textWidth > 0) {
            const double scale = std::max(available / textWidth, minimumScaleFactor());
            shrinking.emplace(*this, shrinkFonts(*attributedText_, scale));
        }
    }

    context->saveGState();
    context->setTextMatrix(cg::AffineTransform::identity());
    context->translateCTM(0, inset.size.height);
    context->scaleCTM(1, -1);
    const ns::Range textRange{0, attributedText_->length()};
    const cg::Rect textRect = textRectForBounds(rect, numberOfLines());
    context->translateCTM(inset.origin.x, inset.size.height - textRect.origin.y - textRect.size.height);

    if (shadowColor() && !isHighlighted()) {
        context->setShadowWithColor(shadowOffset(), shadowRadius_, shadowColor()->CGColor());
    } else if (highlightedShadowColor_) {
        context->setShadowWithColor(highlightedShadowOffset_, highlightedShadowRadius_, highlightedShadowColor_->CGColor());
    }

    std::vector<PendingTokenLink> tokenLinks;
    if (highlightedTextColor() && isHighlighted()) {
        ct::AttributedString highlighted = renderedAttributedText();
        highlighted.addAttribute(ct::ForegroundColorAttributeName, ns::Value(highlightedTextColor()),
                                 {0, highlighted.length()});
        std::shared_ptr<const ct::Framesetter> setter;
        if (shrinking) {
            setter = std::make_shared<const ct::Framesetter>(highlighted);
        } else {
            framesetter();  // a stale framesetter drops the highlighted one with it
            if (!highlightFramesetter_) highlightFramesetter_ = std::make_shared<const ct::Framesetter>(highlighted);
            setter = highlightFramesetter_;
        }
        drawFramesetter(*setter, setter->attributedString(), textRange, textRect, *context, tokenLinks);
    } else {
        auto setter = framesetter();
        drawFramesetter(*setter, setter->attributedString(), textRange, textRect, *context, tokenLinks);
    }
    context->restoreGState();
    shrinking.reset();
    // Added after the draw, since a link restyles the text that the draw was reading.
    for (const PendingTokenLink& pending : tokenLinks) {
        const bool present = std::any_of(linkModels_.begin(), linkModels_.end(), [&](const auto& link) {
            return link->result().resultType == ns::TextCheckingTypeLink && link->result().range() == pending.range &&
                   link->result().URL && link->result().URL->absoluteString() == pending.url.absoluteString();
        });
        if (!present) addLinkToURL(pending.url, pending.range);
    }
}

void AttributedLabel::drawFramesetter(const ct::Framesetter& framesetter, const ct::AttributedString& string,
                                      ns::Range range, const cg::Rect& rect, cg::Context& context,
                                      std::vector<PendingTokenLink>& tokenLinks) const {
    const ct::Frame frame = framesetter.createFrame(range, rect);
    std::size_t count = frame.lines().size();
    if (numberOfLines() >= 1) count = std::min<std::size_t>(count, static_cast<std::size_t>(numberOfLines()));
    // Boxes and strikes belong to the lines shown, not to those past the line limit.
    drawBackground(frame, count, framesetter, context);
    const ui::LineBreakMode mode = lineBreakMode();
    const bool truncates = mode == ui::LineBreakMode::TruncatingHead || mode == ui::LineBreakMode::TruncatingTail ||
                           mode == ui::LineBreakMode::TruncatingMiddle;
    for (std::size_t i = 0; i < count; ++i) {
        const ct::Line& line = frame.lines()[i];
        const cg::Point origin = frame.lineOrigins()[i];
        // On the frame's own baseline, where the background boxes and strikes are placed too.
        const double baseline = origin.y;
        const ns::Range lineRange = line.stringRange();
        if (truncates && i + 1 == count && !(lineRange.location == 0 && lineRange.length == 0) &&
            lineRange.end() < range.end()) {
            const ui::LineBreakMode lastMode = count == 1 ? mode : ui::LineBreakMode::TruncatingTail;
            ct::LineTruncationType type = ct::LineTruncationType::End;
            std::uint64_t position = lineRange.location + (lineRange.length > 0 ? lineRange.length - 1 : 0);
            if (lastMode == ui::LineBreakMode::TruncatingHead) {
                type = ct::LineTruncationType::Start;
                position = lineRange.location;
            } else if (lastMode == ui::LineBreakMode::TruncatingMiddle) {
                type = ct::LineTruncationType::Middle;
                position = lineRange.location + lineRange.length / 2;
            }
            ct::AttributedString token = attributedTruncationToken_.value_or(ct::AttributedString(
                std::u16string(truncationTokenString_ ? ns::toUTF16(*truncationTokenString_) : std::u16string(Ellipsis)),
                truncationTokenAttributes_.value_or(string.attributesAtIndex(std::min(position, string.length() - 1)))));
            const ct::Line tokenLine = ct::createLine(token);
            ct::AttributedString truncation;
            if (type == ct::LineTruncationType::End) {
                // The line's own characters with the token after them, cut again if that is too wide.
                truncation = string.attributedSubstringFromRange(lineRange);
                if (!truncation.empty() && isNewline(truncation.u16string().back()))
                    truncation.deleteCharactersInRange({truncation.length() - 1, 1});
                truncation.appendAttributedString(token);
            } else {
                // A single line cut at its start or middle shows the rest of its paragraph around one token.
                const std::u16string& characters = string.u16string();
                std::uint64_t end = lineRange.location;
                while (end < range.end() && !isNewline(characters[end])) ++end;
                truncation = string.attributedSubstringFromRange({lineRange.location, end - lineRange.location});
            }
            const ct::LineRoom& room = frame.lineRooms()[i];
            const ct::Line whole = ct::createLine(truncation);
            const ct::Line drawn = whole.truncated(room.width, type, tokenLine).value_or(tokenLine);
            context.setTextPosition(room.x + drawn.penOffsetForFlush(flushFactor(), room.width), baseline);
            drawn.draw(context);
            if (!token.empty()) {
                const ns::Value link = token.attributeAtIndex(ui::LinkAttributeName, 0);
                std::optional<ns::URL> url = link.isString() ? ns::URL::fromString(link.asString()) : std::nullopt;
                if (url) {
                    // The token stands for the last characters of the visible text.
                    const std::uint64_t length = std::min(token.length(), lineRange.end());
                    tokenLinks.push_back({*url, {lineRange.end() - length, length}});
                }
            }
            continue;
        }
        context.setTextPosition(lineStart(frame, i, line), baseline);
        line.draw(context);
    }
    drawStrike(frame, count, framesetter, context);
}

void AttributedLabel::drawBackground(const ct::Frame& frame, std::size_t lineCount, const ct::Framesetter& framesetter,
                                     cg::Context& context) const {
    const ct::AttributedString& string = framesetter.attributedString();
    for (std::size_t i = 0; i < lineCount; ++i) {
        const ct::Line& line = frame.lines()[i];
        const cg::Point origin = frame.lineOrigins()[i];
        const double start = lineStart(frame, i, line);
        for (const ct::Run& run : line.runs()) {
            if (run.stringRange().location >= string.length()) continue;
            const ns::Dictionary& attributes = string.attributesAtIndex(run.stringRange().location);
            const ns::Value* fill = attributes.find(LabelBackgroundFillColor);
            const ns::Value* stroke = attributes.find(LabelBackgroundStrokeColor);
            auto fillColor = fill ? ct::colorFromValue(*fill) : std::nullopt;
            auto strokeColor = stroke ? ct::colorFromValue(*stroke) : std::nullopt;
            if (!fillColor && !strokeColor) continue;
            const ns::Value* paddingValue = attributes.find(LabelBackgroundFillPadding);
            const cg::EdgeInsets padding =
                (paddingValue ? ui::GeometryValue::UIEdgeInsetsValue(*paddingValue) : std::nullopt).value_or(cg::EdgeInsets());
            const double radius = numberAttribute(attributes, LabelBackgroundCornerRadius);
            const double boxInset = numberAttribute(attributes, LabelBackgroundLineWidth);

            const double ascent = run.font().ascent();
            const double descent = run.font().descent();
            const double x = start + runOffset(line, run);
            cg::Rect box{x - padding.left, origin.y - padding.bottom - descent,
                         std::min(run.width() + padding.left + padding.right, line.width()),
                         ascent + descent + padding.top + padding.bottom};
            box = cg::insetRect(box, linkBackgroundEdgeInset_);
            box = cg::insetRect(box, {boxInset, boxInset, boxInset, boxInset});

            cg::Path path;
            path.addRoundedRect(box, radius, radius);
            context.setLineJoin(cg::LineJoin::Round);
            if (fillColor) {
                context.setFillColor(*fillColor);
                context.beginPath();
                context.addPath(path);
                context.fillPath();
            }
            if (strokeColor) {
                context.setStrokeColor(*strokeColor);
                context.beginPath();
                context.addPath(path);
                context.strokePath();
            }
        }
    }
}

void AttributedLabel::drawStrike(const ct::Frame& frame, std::size_t lineCount, const ct::Framesetter& framesetter,
                                 cg::Context& context) const {
    const ct::AttributedString& string = framesetter.attributedString();
    // Every strike is as thick as the label's own font would draw it, whatever the run's size.
    const double thickness = font()->ctFont().underlineThickness();
    for (std::size_t i = 0; i < lineCount; ++i) {
        const ct::Line& line = frame.lines()[i];
        const cg::Point origin = frame.lineOrigins()[i];
        const double start = lineStart(frame, i, line);
        for (const ct::Run& run : line.runs()) {
            if (run.stringRange().location >= string.length()) continue;
            const ns::Dictionary& attributes = string.attributesAtIndex(run.stringRange().location);
            const ns::Value* strike = attributes.find(LabelStrikeOutAttribute);
            if (!strike || !strike->boolValue()) continue;
            const ns::Value* superscript = attributes.find(ct::SuperscriptAttributeName);
            const std::int64_t shift = superscript && superscript->isNumber() ? superscript->int64Value() : 0;
            const double width = std::min(run.width(), line.width());
            const double ascent = run.font().ascent();
            const double descent = run.font().descent();
            const double x = start + runOffset(line, run);
            double y = origin.y - descent;
            const double height = ascent + descent;
            if (shift == 1) y -= 0.47 * ascent;
            else if (shift == -1) y += 0.25 * ascent;
            const ns::Value* color = attributes.find(ct::ForegroundColorAttributeName);
            context.setStrokeColor((color ? ct::colorFromValue(*color) : std::nullopt).value_or(cg::Color::gray(0, 1)));
            context.setLineWidth(thickness);
            const double middle = std::round(y + height * 0.5);
            context.beginPath();
            context.moveToPoint(x, middle);
            context.addLineToPoint(x + width, middle);
            context.strokePath();
        }
    }
}

}  // namespace ql
