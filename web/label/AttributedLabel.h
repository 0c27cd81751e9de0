#pragma once
// AttributedLabel: a label that lays out and draws attributed text itself through the text layer's
// framesetter, turns ranges of its text into links (set by hand, taken from link attributes in the text
// or found by a data detector in the background), restyles the link under the finger, truncates its last
// visible line with a token, and draws background boxes and strike-through lines from attributes of its
// own. Taps and long presses on links go to the link's blocks or to the delegate; each link is an
// accessibility element. Everything runs on the main thread but the data detection.
//
// Text comes in as plain text, styled with the label's own font, colour, kern and paragraph settings, or
// as attributed text used as it is. Attribute values are the view layer's objects: ui::Font under the
// font key, ui::Color under the colour keys, ct::ParagraphStyleObject under the paragraph-style key.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/DataDetector.h"
#include "platform/foundation/Range.h"
#include "platform/foundation/TextCheckingResult.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Frame.h"
#include "platform/text/Framesetter.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/Label.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "web/label/AttributedLabelDelegate.h"
#include "web/label/AttributedLabelLink.h"

namespace ql {

// The label's own attribute keys, read when drawing.
// A number read as a boolean: a line through the run.
inline constexpr std::string_view LabelStrikeOutAttribute = "LabelStrikeOutAttribute";
// ui::Color objects: fill and outline of a rounded box behind the run.
inline constexpr std::string_view LabelBackgroundFillColor = "LabelBackgroundFillColor";
inline constexpr std::string_view LabelBackgroundStrokeColor = "LabelBackgroundStrokeColor";
// Numbers: the box's inset on all sides and its corner radius.
inline constexpr std::string_view LabelBackgroundLineWidth = "LabelBackgroundLineWidth";
inline constexpr std::string_view LabelBackgroundCornerRadius = "LabelBackgroundCornerRadius";
// An edge-insets value (cg::EdgeInsetsValue): the box's padding around the run's glyphs.
inline constexpr std::string_view LabelBackgroundFillPadding = "LabelBackgroundFillPadding";

enum class LabelVerticalAlignment : std::int64_t { Center = 0, Top = 1, Bottom = 2 };

// An accessibility element that a container view presents for part of itself.
struct LabelAccessibilityElement {
    std::optional<std::string> label;
    std::optional<std::string> value;
    std::optional<std::string> hint;
    // In the window's coordinates.
    cg::Rect frame;
    bool isLink = false;

    bool operator==(const LabelAccessibilityElement&) const = default;
};

class AttributedLabel : public ui::Label, public ns::Coding {
    QL_OBJECT_NAMED(AttributedLabel, ui::Label, "AttributedLabel")
public:
    AttributedLabel() : AttributedLabel(cg::Rect::zero()) {}
    explicit AttributedLabel(const cg::Rect& frame);
    ~AttributedLabel() override;

    // ---- Text (AttributedLabel.cpp) ----
    // Plain text is styled with the label's settings; none clears the text.
    void setText(std::optional<std::string> text) override;
    // Attributed text is used as it is; its link attributes become links.
    void setText(const ct::AttributedString& text);
    // Plain text styled with the label's settings (an attributed string gets them laid over its own),
    // then given to `configure` when there is one.
    using Configure = std::function<ct::AttributedString(ct::AttributedString)>;
    void setText(std::string_view text, const Configure& configure);
    void setText(const ct::AttributedString& text, const Configure& configure);

    const std::optional<ct::AttributedString>& attributedText() const { return attributedText_; }
    void setAttributedText(std::optional<ct::AttributedString> text);
    // The text as laid out and drawn: context-coloured ranges take the label's text colour.
    const ct::AttributedString& renderedAttributedText() const;
    // Drops the rendered text and marks the framesetter stale.
    void setNeedsFramesetter();
    // The attributes plain text gets: font, colour, kern and paragraph style.
    ns::Dictionary labelTextAttributes() const;

    void setTextColor(std::shared_ptr<ui::Color> color) override;
    void setHighlighted(bool highlighted) override;

    // ---- Settings ----
    std::weak_ptr<AttributedLabelDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<AttributedLabelDelegate> delegate) { delegate_ = std::move(delegate); }
    const ns::Dictionary& linkAttributes() const { return linkAttributes_; }
    void setLinkAttributes(ns::Dictionary attributes) { linkAttributes_ = std::move(attributes); }
    const ns::Dictionary& activeLinkAttributes() const { return activeLinkAttributes_; }
    void setActiveLinkAttributes(ns::Dictionary attributes) { activeLinkAttributes_ = std::move(attributes); }
    const ns::Dictionary& inactiveLinkAttributes() const { return inactiveLinkAttributes_; }
    void setInactiveLinkAttributes(ns::Dictionary attributes) { inactiveLinkAttributes_ = std::move(attributes); }
    cg::EdgeInsets linkBackgroundEdgeInset() const { return linkBackgroundEdgeInset_; }
    void setLinkBackgroundEdgeInset(cg::EdgeInsets insets) { linkBackgroundEdgeInset_ = insets; }
    bool extendsLinkTouchArea() const { return extendsLinkTouchArea_; }
    void setExtendsLinkTouchArea(bool extends) { extendsLinkTouchArea_ = extends; }
    double shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(double radius) { shadowRadius_ = radius; }
    double highlightedShadowRadius() const { return highlightedShadowRadius_; }
    void setHighlightedShadowRadius(double radius) { highlightedShadowRadius_ = radius; }
    cg::Size highlightedShadowOffset() const { return highlightedShadowOffset_; }
    void setHighlightedShadowOffset(cg::Size offset) { highlightedShadowOffset_ = offset; }
    const std::shared_ptr<ui::Color>& highlightedShadowColor() const { return highlightedShadowColor_; }
    void setHighlightedShadowColor(std::shared_ptr<ui::Color> color) { highlightedShadowColor_ = std::move(color); }
    double kern() const { return kern_; }
    void setKern(double kern) { kern_ = kern; }
    double firstLineIndent() const { return firstLineIndent_; }
    void setFirstLineIndent(double indent) { firstLineIndent_ = indent; }
    double lineSpacing() const { return lineSpacing_; }
    void setLineSpacing(double spacing) { lineSpacing_ = spacing; }
    double leading() const { return lineSpacing_; }
    void setLeading(double leading) { lineSpacing_ = leading; }
    // 0: the font's line height times the line height multiple.
    double minimumLineHeight() const { return minimumLineHeight_; }
    void setMinimumLineHeight(double height) { minimumLineHeight_ = height; }
    double maximumLineHeight() const { return maximumLineHeight_; }
    void setMaximumLineHeight(double height) { maximumLineHeight_ = height; }
    double lineHeightMultiple() const { return lineHeightMultiple_; }
    void setLineHeightMultiple(double multiple) { lineHeightMultiple_ = multiple; }
    cg::EdgeInsets textInsets() const { return textInsets_; }
    void setTextInsets(cg::EdgeInsets insets) { textInsets_ = insets; }
    LabelVerticalAlignment verticalAlignment() const { return verticalAlignment_; }
    void setVerticalAlignment(LabelVerticalAlignment alignment) { verticalAlignment_ = alignment; }
    const std::optional<std::string>& truncationTokenString() const { return truncationTokenString_; }
    void setTruncationTokenString(std::optional<std::string> token) { truncationTokenString_ = std::move(token); }
    const std::optional<ns::Dictionary>& truncationTokenStringAttributes() const { return truncationTokenAttributes_; }
    void setTruncationTokenStringAttributes(std::optional<ns::Dictionary> attributes) {
        truncationTokenAttributes_ = std::move(attributes);
    }
    const std::optional<ct::AttributedString>& attributedTruncationToken() const { return attributedTruncationToken_; }
    void setAttributedTruncationToken(std::optional<ct::AttributedString> token) {
        attributedTruncationToken_ = std::move(token);
    }
    const std::shared_ptr<ui::LongPressGestureRecognizer>& longPressGestureRecognizer() const { return longPress_; }

    // ---- Layout and sizing (AttributedLabelLayout.cpp) ----
    // The framesetter of the rendered text, rebuilt first when stale.
    std::shared_ptr<const ct::Framesetter> framesetter() const;
    cg::Rect textRectForBounds(const cg::Rect& bounds, std::int64_t numberOfLines) const override;
    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    // The size a text takes within `constraints`' width on at most `numberOfLines` lines (0: any).
    static cg::Size sizeThatFitsAttributedString(const std::optional<ct::AttributedString>& string,
                                                 cg::Size constraints, std::uint64_t numberOfLines);
    // Where the characters of `range` sit in the label, relative to its bounds' origin.
    cg::Rect boundingRectForCharacterRange(ns::Range range) const;
    // The same for several ranges at once, from one setting of the text.
    std::vector<cg::Rect> boundingRectsForCharacterRanges(const std::vector<ns::Range>& ranges) const;

    // ---- Links (AttributedLabelLinks.cpp) ----
    std::uint64_t enabledTextCheckingTypes() const { return enabledTextCheckingTypes_; }
    void setEnabledTextCheckingTypes(std::uint64_t types);
    std::uint64_t dataDetectorTypes() const { return enabledTextCheckingTypes_; }
    void setDataDetectorTypes(std::uint64_t types) { setEnabledTextCheckingTypes(types); }
    const std::vector<std::shared_ptr<AttributedLabelLink>>& linkModels() const { return linkModels_; }
    void setLinkModels(std::vector<std::shared_ptr<AttributedLabelLink>> links);
    std::vector<ns::TextCheckingResult> links() const;

    std::shared_ptr<AttributedLabelLink> addLinkToURL(const ns::URL& url, ns::Range range);
    std::shared_ptr<AttributedLabelLink> addLinkToAddress(const ns::Dictionary& components, ns::Range range);
    std::shared_ptr<AttributedLabelLink> addLinkToPhoneNumber(const std::string& phoneNumber, ns::Range range);
    std::shared_ptr<AttributedLabelLink> addLinkToDate(ns::Date date, ns::Range range);
    std::shared_ptr<AttributedLabelLink> addLinkToDate(ns::Date date, const ns::TimeZone& timeZone, double duration,
                                                       ns::Range range);
    std::shared_ptr<AttributedLabelLink> addLinkToTransitInformation(const ns::Dictionary& components, ns::Range range);
    std::shared_ptr<AttributedLabelLink> addLinkWithTextCheckingResult(const ns::TextCheckingResult& result);
    std::shared_ptr<AttributedLabelLink> addLinkWithTextCheckingResult(const ns::TextCheckingResult& result,
                                                                       const std::optional<ns::Dictionary>& attributes);
    std::vector<std::shared_ptr<AttributedLabelLink>> addLinksWithTextCheckingResults(
        const std::vector<ns::TextCheckingResult>& results, const std::optional<ns::Dictionary>& attributes);
    void addLink(const std::shared_ptr<AttributedLabelLink>& link);
    void addLinks(const std::vector<std::shared_ptr<AttributedLabelLink>>& links);

    const std::shared_ptr<AttributedLabelLink>& activeLink() const { return activeLink_; }
    void setActiveLink(std::shared_ptr<AttributedLabelLink> link);
    void tintColorDidChange() override;

    // Later links win over earlier ones that share the character.
    std::shared_ptr<AttributedLabelLink> linkAtCharacterIndex(std::int64_t index) const;
    // ns::NotFound off the text.
    std::uint64_t characterIndexAtPoint(cg::Point point) const;
    // The link at the point, or near it when extendsLinkTouchArea is on.
    std::shared_ptr<AttributedLabelLink> linkAtPoint(cg::Point point) const;
    std::shared_ptr<AttributedLabelLink> linkAtRadius(double radius, cg::Point point) const;
    bool containslinkAtPoint(cg::Point point) const { return linkAtPoint(point) != nullptr; }

    // ---- Drawing (AttributedLabelDrawing.cpp) ----
    void drawTextInRect(const cg::Rect& rect) override;

    // ---- Touches, copy and accessibility (AttributedLabelTouches.cpp) ----
    ui::View* hitTest(cg::Point point, ui::Event* event) override;
    void touchesBegan(const ui::TouchSet& touches, ui::Event* event) override;
    void touchesMoved(const ui::TouchSet& touches, ui::Event* event) override;
    void touchesEnded(const ui::TouchSet& touches, ui::Event* event) override;
    void touchesCancelled(const ui::TouchSet& touches, ui::Event* event) override;
    bool canBecomeFirstResponder() const override { return true; }
    // Only the copy action.
    bool canPerformAction(std::string_view action) const { return action == "copy:"; }
    // Puts the plain text on the general pasteboard.
    void copy();
    // The label is a container: one element per link inside the text, then one for the whole label.
    std::int64_t accessibilityElementCount();
    std::optional<LabelAccessibilityElement> accessibilityElementAtIndex(std::int64_t index);
    // Where an element equal to `element` stands among them; NotFound when none is.
    std::int64_t indexOfAccessibilityElement(const LabelAccessibilityElement& element);
    const std::vector<LabelAccessibilityElement>& accessibilityElements();

    // ---- Archiving (AttributedLabelArchiving.cpp) ----
    // The base label's entries (frame, font, colour, line settings, text), then the label's own; the
    // line height limits are written too, so that they survive a round trip.
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;

    // The long-press recognizer's action and touch filter.
    void longPressGestureDidFire(ui::LongPressGestureRecognizer& recognizer);
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch) const;

private:
    class GestureRelay;
    struct DrawingPass;
    // A link that a truncation token carries, over the characters the token stands for.
    struct PendingTokenLink {
        ns::URL url;
        ns::Range range;
    };

    // The text as it is laid out: context-coloured ranges take the label's text colour.
    ct::AttributedString renderedFormOf(const ct::AttributedString& text) const;
    void dropActiveLink();
    void startDataDetection(const ct::AttributedString& text);
    std::shared_ptr<const ns::DataDetector> dataDetector() const;
    void setDataDetector(std::shared_ptr<const ns::DataDetector> detector);
    void dispatchTap(const ns::TextCheckingResult& result);
    void dispatchLongPress(const ns::TextCheckingResult& result, cg::Point point);
    // 1 flush right, 0.5 centred, 0 flush left, by the label's alignment.
    double flushFactor() const;
    // Where a line set in the frame's line `index` starts: aligned by the label within the line's room.
    double lineStart(const ct::Frame& frame, std::size_t index, const ct::Line& line) const;
    // Laid out in `rect` from the label's current framesetter.
    ct::Frame frameInRect(const cg::Rect& rect) const;
    void drawFramesetter(const ct::Framesetter& framesetter, const ct::AttributedString& string, ns::Range range,
                         const cg::Rect& rect, cg::Context& context, std::vector<PendingTokenLink>& tokenLinks) const;
    // Both decorate the first `lineCount` lines of the frame.
    void drawBackground(const ct::Frame& frame, std::size_t lineCount, const ct::Framesetter& framesetter,
                        cg::Context& context) const;
    void drawStrike(const ct::Frame& frame, std::size_t lineCount, const ct::Framesetter& framesetter,
                    cg::Context& context) const;

    std::weak_ptr<AttributedLabelDelegate> delegate_;
    std::uint64_t enabledTextCheckingTypes_ = 0;
    ns::Dictionary linkAttributes_;
    ns::Dictionary activeLinkAttributes_;
    ns::Dictionary inactiveLinkAttributes_;
    cg::EdgeInsets linkBackgroundEdgeInset_{0, -1, 0, -1};
    bool extendsLinkTouchArea_ = true;
    double shadowRadius_ = 0;
    double highlightedShadowRadius_ = 0;
    cg::Size highlightedShadowOffset_{0, 0};
    std::shared_ptr<ui::Color> highlightedShadowColor_;
    double kern_ = 0;
    double firstLineIndent_ = 0;
    double lineSpacing_ = 0;
    double minimumLineHeight_ = 0;
    double maximumLineHeight_ = 0;
    double lineHeightMultiple_ = 1;
    cg::EdgeInsets textInsets_{0, 0, 0, 0};
    LabelVerticalAlignment verticalAlignment_ = LabelVerticalAlignment::Center;
    std::optional<std::string> truncationTokenString_;
    std::optional<ns::Dictionary> truncationTokenAttributes_;
    std::optional<ct::AttributedString> attributedTruncationToken_;
    std::shared_ptr<ui::LongPressGestureRecognizer> longPress_;
    std::shared_ptr<GestureRelay> relay_;

    std::optional<ct::AttributedString> attributedText_;
    mutable std::optional<ct::AttributedString> renderedAttributedText_;
    std::optional<ct::AttributedString> inactiveAttributedText_;
    // While a draw shrinks fonts to fit, the text and framesetter it lays out in place of the label's own.
    const ct::AttributedString* renderOverride_ = nullptr;
    std::shared_ptr<const ct::Framesetter> framesetterOverride_;

    // Read by layout from any thread that asks the framesetter; rebuilt under the lock.
    mutable std::atomic<bool> needsFramesetter_{true};
    mutable std::recursive_mutex lock_;
    mutable std::shared_ptr<const ct::Framesetter> framesetter_;
    mutable std::shared_ptr<const ct::Framesetter> highlightFramesetter_;

    mutable std::mutex detectorLock_;
    std::shared_ptr<const ns::DataDetector> dataDetector_;
    std::vector<std::shared_ptr<AttributedLabelLink>> linkModels_;
    std::shared_ptr<AttributedLabelLink> activeLink_;
    std::optional<std::vector<LabelAccessibilityElement>> accessibilityElements_;
};

}  // namespace ql
