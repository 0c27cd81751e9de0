#pragma once
// RTHTMLElement: an element of the document tree the rich text import builds, with the complete text
// style that applies inside it (font, paragraph style, colours, link, decorations, box metrics, display
// mode). Its style is set up in three steps, always in this order: it copies its parent's style
// (inheritAttributesFromElement), reads the HTML attributes that act on style (interpretAttributes),
// then applies its cascaded CSS.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/AttributedString.h"
#include "platform/ui/Color.h"
#include "richtext/RTCSSDeclarations.h"
#include "richtext/RTCSSListStyle.h"
#include "richtext/RTHTMLParserNode.h"
#include "richtext/RTTextAttachment.h"
#include "richtext/RichTextFontDescriptor.h"
#include "richtext/RichTextParagraphStyle.h"

namespace ql {

class RTHTMLNodePool;

enum class RTHTMLElementDisplayStyle : std::uint64_t { Inline = 0, None = 1, Block = 2, ListItem = 3, Table = 4 };
enum class RTHTMLElementFloatStyle : std::uint64_t { None = 0, Left = 1, Right = 2 };
enum class RTHTMLElementFontVariant : std::uint64_t { Inherit = 0, Normal = 1, SmallCaps = 2 };

class RTHTMLElement : public RTHTMLParserNode {
    QL_OBJECT(RTHTMLElement, RTHTMLParserNode)
public:
    RTHTMLElement(std::string_view name, ns::Dictionary attributes, const ns::Dictionary& options = {});

    // A new element of the class for the tag (exact spelling): a, br, hr, li, style and the attachment
    // tags have their own; tags registered with RTTextAttachment make attachment elements. Made in `pool`
    // when given (RTHTMLNodePool.h).
    static std::shared_ptr<RTHTMLElement> elementWithName(std::string_view name, ns::Dictionary attributes,
                                                          const ns::Dictionary& options,
                                                          const std::shared_ptr<RTHTMLNodePool>& pool = nullptr);

    // Stores the attributes and takes the box size from "width" and "height" (their leading numbers).
    void setAttributes(const ns::Dictionary& attributes) override;
    // The parent when it is an element, for a caller that keeps it.
    std::shared_ptr<RTHTMLElement> parentElement() const;
    // The same, not held (RTHTMLParserNode::parent): for a caller that holds the element while it looks.
    RTHTMLElement* parentElementPointer() const {
        RTHTMLParserNode* node = parent();
        return node && node->isElement() ? static_cast<RTHTMLElement*>(node) : nullptr;
    }

    // Shares the parent's font descriptor and paragraph style objects.
    void inheritAttributesFromElement(const RTHTMLElement& parent);
    // "class" Apple-converted-space, "dir" and "align"; CSS applied afterwards wins.
    void interpretAttributes();
    // The cascaded CSS declarations for the element, over what it inherited; an empty dictionary
    // changes nothing. Subclasses extend it and call it first.
    virtual void applyStyleDictionary(const ns::Dictionary& styles);
    // The same for declarations held in a value (a dictionary), which the element then shares rather
    // than copies: the builder hands every element of one cascade the same declarations.
    void applyStyles(const ns::Value& styles);
    // The same for declarations already read, which every element of one cascade shares.
    void applyStyles(std::shared_ptr<const RTCSSDeclarations> declarations);
    // The insets of the keys beginning with `prefix` ("margin", "-webkit-padding"…) written over
    // `insets`: the shorthand first, then the sides, whatever order the keys come in. False when no key
    // had the prefix.
    bool parseEdgeInsets(const RTCSSDeclarations::BoxDeclarations& box, std::string_view prefix, ct::WritingDirection direction,
                         cg::EdgeInsets& insets) const;

    // Whether elements write the view layer's attribute keys rather than the typesetting ones; read at
    // each use, set by the builder before it parses.
    static bool usesUIKitAttributes();
    static void setUsesUIKitAttributes(bool uses);
    // The attributes of the element's text, built fresh on each call.
    virtual ns::Dictionary attributesForAttributedStringRepresentation() const;
    // The element's text: its attachment's character, or its children's texts joined; blocks end in a
    // paragraph. Nothing when hidden or already output.
    std::optional<ct::AttributedString> attributedString();
    // Writes the text attributedString() gives at the end of `text`, reading and changing nothing before
    // the end it found (an element's text is built in place inside its parent's, not as a string of its
    // own to be copied in). False, with nothing written, when there is no text.
    virtual bool appendAttributedStringTo(ct::AttributedString& text);
    // The attributes of texts that inherit the element's style unchanged, made on first use and shared by
    // all of them (so they also join into one run) until the element's style or children change: a
    // snapshot that stays valid for its holder. An element with an attachment shares nothing: its
    // attachment is its own.
    std::shared_ptr<const ns::Dictionary> attributesForTextContent() const;
    // Snapshots of text attributes shared by the elements of one tree whose styles agree, so that
    // sibling items or repeated inline elements make one dictionary between them. Children take their
    // parent's cache; an element without one makes its own snapshot.
    class TextAttributesCache;
    static std::shared_ptr<TextAttributesCache> makeTextAttributesCache();
    void setTextAttributesCache(std::shared_ptr<TextAttributesCache> cache) { textAttributesCache_ = std::move(cache); }
    // Whether some visible child has not output yet (true for an element without children).
    bool needsOutput() const;

    // The list properties of the element's styles, numbered from its "start" attribute when it has one.
    std::shared_ptr<RTCSSListStyle> listStyle() const;
    // Whether the element is not the direct content of a list or list item.
    bool isNotChildOfList() const;

    // The style objects are shared with the parent, the children and the element's texts until one of
    // them changes its own: read them here, change them only through the mutable accessors.
    const std::shared_ptr<const RichTextFontDescriptor>& fontDescriptor() const { return fontDescriptor_; }
    void setFontDescriptor(const std::shared_ptr<const RichTextFontDescriptor>& descriptor);
    const std::shared_ptr<const RichTextParagraphStyle>& paragraphStyle() const { return paragraphStyle_; }
    void setParagraphStyle(const std::shared_ptr<const RichTextParagraphStyle>& style);
    // The element's own object, copied first while another holder shares it (made when there is none).
    RichTextFontDescriptor& mutableFontDescriptor();
    RichTextParagraphStyle& mutableParagraphStyle();
    // Writes one paragraph setting, copying a shared style only when the value changes.
    template <typename T, typename V>
    void setParagraphValue(T RichTextParagraphStyle::*field, V&& value) {
        if (paragraphStyle_ && (*paragraphStyle_).*field == value) return;
        mutableParagraphStyle().*field = std::forward<V>(value);
    }

    const std::shared_ptr<RTTextAttachment>& textAttachment() const { return textAttachment_; }
    // Hands the attachment the element's alignment, link GUID and, when it has no size of its own, the
    // element's size.
    void setTextAttachment(std::shared_ptr<RTTextAttachment> attachment);
    std::uint64_t textAttachmentAlignment() const { return textAttachmentAlignment_; }
    void setTextAttachmentAlignment(std::uint64_t alignment) {
        textAttachmentAlignment_ = alignment;
        styleDidChange();
    }

    const std::optional<ns::URL>& link() const { return link_; }
    // Every link gets a fresh GUID, which all of its runs (and its attachment) share.
    void setLink(std::optional<ns::URL> link);
    const std::optional<std::string>& linkGUID() const { return decorations().linkGUID; }
    void setLinkGUID(std::optional<std::string> guid) {
        mutableDecorations().linkGUID = std::move(guid);
        styleDidChange();
    }
    const std::optional<std::string>& anchorName() const { return decorations().anchorName; }
    void setAnchorName(std::optional<std::string> name) {
        mutableDecorations().anchorName = std::move(name);
        styleDidChange();
    }

    const std::shared_ptr<ui::Color>& textColor() const { return textColor_; }
    // A different colour object ends the inheritance of the parent's colour.
    void setTextColor(std::shared_ptr<ui::Color> color);
    bool isColorInherited() const { return isColorInherited_; }
    void setIsColorInherited(bool inherited) { isColorInherited_ = inherited; }
    const std::shared_ptr<ui::Color>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::shared_ptr<ui::Color> color) {
        backgroundColor_ = std::move(color);
        styleDidChange();
    }
    const std::shared_ptr<ui::Color>& backgroundStrokeColor() const { return decorations().backgroundStrokeColor; }
    void setBackgroundStrokeColor(std::shared_ptr<ui::Color> color) {
        mutableDecorations().backgroundStrokeColor = std::move(color);
        styleDidChange();
    }
    double backgroundStrokeWidth() const { return backgroundStrokeWidth_; }
    void setBackgroundStrokeWidth(double width) {
        backgroundStrokeWidth_ = width;
        styleDidChange();
    }
    double backgroundCornerRadius() const { return backgroundCornerRadius_; }
    void setBackgroundCornerRadius(double radius) {
        backgroundCornerRadius_ = radius;
        styleDidChange();
    }

    std::int32_t underlineStyle() const { return underlineStyle_; }
    void setUnderlineStyle(std::int32_t style) {
        underlineStyle_ = style;
        styleDidChange();
    }
    bool strikeOut() const { return strikeOut_; }
    void setStrikeOut(bool strikeOut) {
        strikeOut_ = strikeOut;
        styleDidChange();
    }
    // -1 subscript, 0 normal, 1 superscript.
    std::int64_t superscriptStyle() const { return superscriptStyle_; }
    void setSuperscriptStyle(std::int64_t style) {
        superscriptStyle_ = style;
        styleDidChange();
    }
    std::int64_t headerLevel() const { return headerLevel_; }
    void setHeaderLevel(std::int64_t level) {
        headerLevel_ = level;
        styleDidChange();
    }
    const std::optional<std::string>& beforeContent() const { return beforeContent_; }
    void setBeforeContent(std::optional<std::string> content) { beforeContent_ = std::move(content); }
    // Shadow dictionaries (RTShadowOffsetKey, RTShadowColorKey, RTShadowBlurKey).
    const ns::Array& shadows() const { return decorations().shadows; }
    void setShadows(ns::Array shadows) {
        mutableDecorations().shadows = std::move(shadows);
        styleDidChange();
    }

    RTHTMLElementDisplayStyle displayStyle() const { return displayStyle_; }
    void setDisplayStyle(RTHTMLElementDisplayStyle style) { displayStyle_ = style; }
    RTHTMLElementFloatStyle floatStyle() const { return floatStyle_; }
    bool preserveNewlines() const { return preserveNewlines_; }
    void setPreserveNewlines(bool preserve) { preserveNewlines_ = preserve; }
    bool containsAppleConvertedSpace() const { return containsAppleConvertedSpace_; }
    void setContainsAppleConvertedSpace(bool contains) { containsAppleConvertedSpace_ = contains; }
    // Inherit resolves through the ancestors; a root that inherits is normal.
    RTHTMLElementFontVariant fontVariant() const {
        return fontVariant_ != RTHTMLElementFontVariant::Inherit ? fontVariant_ : inheritedFontVariant();
    }
    void setFontVariant(RTHTMLElementFontVariant variant) { fontVariant_ = variant; }
    double textScale() const { return textScale_; }
    void setTextScale(double scale) { textScale_ = scale; }
    cg::Size size() const { return size_; }
    void setSize(cg::Size size) { size_ = size; }
    const ns::Dictionary& styles() const;
    void setStyles(ns::Dictionary styles);
    bool didOutput() const { return didOutput_; }
    void setDidOutput(bool didOutput) { didOutput_ = didOutput; }
    // Whether its text begins a line after inline text: a block, a table or a list item, or an inline element
    // whose first visible child begins one (a block inside a span or a cell).
    bool beginsLine() const;
    // Whether the first thing it shows is a line break (a br element, maybe inside elements in line).
    bool beginsWithLineBreak() const;
    // Its text, written into `text` from `own` on, joins white space before it: the white space it begins with
    // goes, but for the line break of a br it begins with, which no white space collapses.
    void collapseLeadingWhitespace(ct::AttributedString& text, std::uint64_t own) const;
    // Whether the element has a text to write: it is shown and not written yet.
    bool writesText() const { return displayStyle_ != RTHTMLElementDisplayStyle::None && !didOutput_; }
    const cg::EdgeInsets& margins() const { return margins_; }
    void setMargins(const cg::EdgeInsets& margins) { margins_ = margins; }
    const cg::EdgeInsets& padding() const { return padding_; }
    void setPadding(const cg::EdgeInsets& padding) { padding_ = padding; }
    double listIndent() const { return listIndent_; }
    void setListIndent(double indent) { listIndent_ = indent; }
    bool shouldProcessCustomHTMLAttributes() const { return shouldProcessCustomHTMLAttributes_; }
    void setShouldProcessCustomHTMLAttributes(bool process) { shouldProcessCustomHTMLAttributes_ = process; }
    // The class names left out of the "class" custom attribute; none until set.
    const std::set<std::string>& CSSClassNamesToIgnoreForCustomAttributes() const;
    void setCSSClassNamesToIgnoreForCustomAttributes(std::set<std::string> names);
    // The same names held by others too (the elements of one cascade share them); never changed in place.
    void shareCSSClassNamesToIgnoreForCustomAttributes(std::shared_ptr<const std::set<std::string>> names) {
        classNamesToIgnore_ = names && !names->empty() ? std::move(names) : nullptr;
    }
    // The own size when set, else the nearest ancestor's (0 at a root without one).
    double currentTextSize() const { return currentTextSize_ != 0 ? currentTextSize_ : inheritedTextSize(); }
    void setCurrentTextSize(double size) { currentTextSize_ = size; }
    double letterSpacing() const { return letterSpacing_; }
    void setLetterSpacing(double spacing) {
        letterSpacing_ = spacing;
        styleDidChange();
    }

    // Key-value coding by the names of the element's values (fontDescriptor, textColor, displayStyle,
    // styles, size, margins, the node's name and attributes …); the style objects come as copies.
    ns::Value valueForKey(std::string_view key) const override;
    // The value at a key path: through dictionaries by key and objects by their key-value coding; nil past a nil.
    ns::Value valueForKeyPath(std::string_view keyPath) const;
    // The element's own value at the key path, unless it is nil, a number whose integer value is 0 or the text
    // "inherit" and there is a parent element, whose inherited value it then is. A root returns its own.
    ns::Value valueForKeyPathWithInheritance(std::string_view keyPath) const;

    // HTML attributes that are never copied into the output as custom attributes.
    static const std::set<std::string, std::less<>>& attributesToIgnoreForCustomAttributesAttribute();

protected:
    // The number a text starts with (after white space), as HTML attributes and CSS border widths are
    // read; 0 when there is none.
    static double leadingNumber(std::string_view text);
    // Takes a style object another holder keeps; like an inherited one, it is copied before any change.
    void shareParagraphStyle(const std::shared_ptr<const RichTextParagraphStyle>& style);
    // The paragraph attributes of the element's texts marked as a list prefix, shared like them.
    std::shared_ptr<const ns::Dictionary> listMarkerAttributes() const;
    // Drops the shared attributes of the element's texts; every change of what they are made of calls it.
    void styleDidChange();
    void childNodesDidChange() override { styleDidChange(); }
    void setFloatStyle(RTHTMLElementFloatStyle style) { floatStyle_ = style; }

private:
    // What the attributes of the element's texts are made of, an attachment aside; the style objects are
    // held, so their holders copy them before any change.
    struct TextStyle {
        std::shared_ptr<const RichTextFontDescriptor> font;
        std::shared_ptr<const RichTextParagraphStyle> paragraph;
        std::shared_ptr<ui::Color> textColor, backgroundColor, backgroundStrokeColor;
        std::optional<ns::URL> link;
        std::optional<std::string> linkGUID, anchorName;
        ns::Array shadows;
        double letterSpacing, backgroundStrokeWidth, backgroundCornerRadius;
        std::int64_t superscriptStyle, headerLevel;
        std::int32_t underlineStyle;
        bool strikeOut, uiKitAttributes;
    };
    TextStyle textStyle() const;

    void readBoxSize();
    // The nearest ancestor's own value, for an element without one.
    RTHTMLElementFontVariant inheritedFontVariant() const;
    double inheritedTextSize() const;
    // On the element's part of `text`, from `from` to the end.
    void addCustomHTMLAttributes(ct::AttributedString& text, std::uint64_t from) const;
    // The first family of the list that a font bears, or the generic family it names.
    void applyFontFamily(const ns::Value* families);
    // Size, family, style, weight and name; shares the font another element of the cascade made.
    void applyFontDeclarations(const RTCSSDeclarations& declarations);

    // Laid out for the passes over many (large) nodes, so that each touches as few cache lines of a node as
    // it can: first what a parent reads of every child as it joins their texts (on the line of the node's
    // child list and kind), then every member that needs destroying, together, then the plain values that
    // inheritance and output read, and last those set by few declarations.
    std::int32_t underlineStyle_ = 0;
    bool strikeOut_ = false;
    bool isColorInherited_ = false;
    bool preserveNewlines_ = false;
    bool containsAppleConvertedSpace_ = false;
    bool didOutput_ = false;
    bool shouldProcessCustomHTMLAttributes_ = false;
    RTHTMLElementDisplayStyle displayStyle_ = RTHTMLElementDisplayStyle::Inline;
    RTHTMLElementFontVariant fontVariant_ = RTHTMLElementFontVariant::Inherit;
    // Held as read-only, as every reader takes them: changed in place only through the mutable accessors,
    // once the element is their only holder.
    std::shared_ptr<const RichTextFontDescriptor> fontDescriptor_;
    std::shared_ptr<const RichTextParagraphStyle> paragraphStyle_;
    std::shared_ptr<ui::Color> textColor_;
    std::shared_ptr<ui::Color> backgroundColor_;
    std::shared_ptr<TextAttributesCache> textAttributesCache_;
    mutable std::shared_ptr<const ns::Dictionary> textContentAttributes_;
    std::shared_ptr<RTTextAttachment> textAttachment_;
    // The element's styles (a dictionary) and their reading, shared by the elements of one cascade; none
    // until styles are set or applied.
    std::shared_ptr<const RTCSSDeclarations> declarations_;
    std::optional<ns::URL> link_;
    // The inherited style that few elements have, out of line and shared with the parent and the children
    // until one of them changes it (mutableDecorations copies it first): none for most elements, which
    // then neither copy nor destroy any of it, nor read the cache lines it would take up.
    struct Decorations {
        std::shared_ptr<ui::Color> backgroundStrokeColor;
        ns::Array shadows;
        std::optional<std::string> anchorName;
        std::optional<std::string> linkGUID;
    };
    std::shared_ptr<const Decorations> decorations_;
    static const Decorations& noDecorations() {
        static const Decorations& none = *new Decorations;
        return none;
    }
    const Decorations& decorations() const { return decorations_ ? *decorations_ : noDecorations(); }
    Decorations& mutableDecorations();
    std::shared_ptr<const std::set<std::string>> classNamesToIgnore_;
    std::optional<std::string> beforeContent_;

    double letterSpacing_ = 0;
    double textScale_ = 0;
    double currentTextSize_ = 0;
    std::int64_t superscriptStyle_ = 0;
    std::int64_t headerLevel_ = 0;
    double backgroundStrokeWidth_ = 0;
    double backgroundCornerRadius_ = 0;
    std::uint64_t textAttachmentAlignment_ = 0;
    RTHTMLElementFloatStyle floatStyle_ = RTHTMLElementFloatStyle::None;
    cg::Size size_;
    cg::EdgeInsets margins_;
    cg::EdgeInsets padding_;
    double listIndent_ = 0;
};

}  // namespace ql
