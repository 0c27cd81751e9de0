#pragma once
// RTTextAttachment: an object embedded in rich text in place of a character (an image, a video, an
// object or frame element): where its content is, how large it is shown, how it sits on the line and
// which link it belongs to. Attachment classes are registered by tag name; the import makes the one
// registered for an element's tag and sets it up from the element's attributes.
//
// Sizing, as HTML has it: the "width" and "height" attributes (CSS pixels; the leading number of each)
// give the original size, a missing one 0 (the content's own size is not known before it loads). The
// display size is the original size scaled down, keeping its proportions, to fit the import's
// RTMaxImageSize option when it is larger; a side of 0 is capped on its own.
//
// Vertical alignment against the font recorded with adjustVerticalAlignmentForFont: baseline sits the
// bottom on the baseline; top aligns the top with the font's ascent; centre centres the attachment on the
// middle of the font's ascent and descent; bottom aligns the bottom with the font's descent. Ascent and
// descent are never negative: an attachment smaller than the space it aligns to stays within the line.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"
#include "platform/text/Font.h"

namespace ql {

class RTHTMLParserNode;

enum class RTTextAttachmentVerticalAlignment : std::uint64_t { Baseline = 0, Top = 1, Center = 2, Bottom = 3 };

class RTTextAttachment : public ns::Object {
    QL_OBJECT(RTTextAttachment, ns::Object)
public:
    RTTextAttachment() = default;

    // The class registered for the tag (exact spelling): img, iframe (this class), object
    // (RTObjectTextAttachment) and video (RTVideoTextAttachment) unless changed; nullptr for others.
    static const ns::Class* registeredClassForTagName(std::string_view tagName);
    // Registers (or replaces) the class for a tag; it must derive from RTTextAttachment and be
    // default-constructible through the class registry.
    static void registerClassForTagName(const ns::Class& cls, std::string_view tagName);
    // A new attachment of the class registered for the tag, set up from the element's attributes and the
    // import's options; nullptr when no class is registered.
    static std::shared_ptr<RTTextAttachment> textAttachmentWithElement(std::string_view tagName,
                                                                     const ns::Dictionary& attributes,
                                                                     const ns::Dictionary& options);

    const ns::Dictionary& attributes() const { return attributes_; }
    const std::optional<ns::URL>& contentURL() const { return contentURL_; }
    void setContentURL(std::optional<ns::URL> url) { contentURL_ = std::move(url); }

    cg::Size originalSize() const { return originalSize_; }
    void setOriginalSize(cg::Size size) { originalSize_ = size; }
    cg::Size displaySize() const { return displaySize_; }
    void setDisplaySize(double width, double height) { displaySize_ = {width, height}; }
    void setDisplaySize(cg::Size size) { displaySize_ = size; }

    RTTextAttachmentVerticalAlignment verticalAlignment() const { return verticalAlignment_; }
    // Values past 3 are taken as baseline.
    void setVerticalAlignment(std::uint64_t alignment);
    // Records the font's leading, ascent and descent for the alignment.
    void adjustVerticalAlignmentForFont(const ct::Font& font);

    // The room the attachment takes on its line, by the alignment.
    double ascentForLayout() const;
    double descentForLayout() const;

    const std::optional<std::string>& hyperLinkGUID() const { return hyperLinkGUID_; }
    void setHyperLinkGUID(std::optional<std::string> guid) { hyperLinkGUID_ = std::move(guid); }
    const std::optional<ns::URL>& hyperLinkURL() const { return hyperLinkURL_; }
    void setHyperLinkURL(std::optional<ns::URL> url) { hyperLinkURL_ = std::move(url); }

protected:
    // Reads the element; subclasses call the base first. The content URL comes from `urlAttribute`.
    virtual void setUpWithElement(const ns::Dictionary& attributes, const ns::Dictionary& options);
    virtual std::string_view contentURLAttributeName() const { return "src"; }

private:
    ns::Dictionary attributes_;
    std::optional<ns::URL> contentURL_;
    cg::Size originalSize_;
    cg::Size displaySize_;
    RTTextAttachmentVerticalAlignment verticalAlignment_ = RTTextAttachmentVerticalAlignment::Baseline;
    double fontLeading_ = 0;
    double fontAscent_ = 0;
    double fontDescent_ = 0;
    std::optional<std::string> hyperLinkGUID_;
    std::optional<ns::URL> hyperLinkURL_;
};

// The attachment of an object element: its content is named by "data", and the element's children (its
// parameters and fallback content) travel with it.
class RTObjectTextAttachment final : public RTTextAttachment {
    QL_OBJECT(RTObjectTextAttachment, RTTextAttachment)
public:
    using NodeList = std::vector<std::shared_ptr<RTHTMLParserNode>>;

    const std::optional<NodeList>& childNodes() const { return childNodes_; }
    void setChildNodes(std::optional<NodeList> nodes) { childNodes_ = std::move(nodes); }

protected:
    std::string_view contentURLAttributeName() const override { return "data"; }

private:
    std::optional<NodeList> childNodes_;
};

// The attachment of a video element; a video without "src" takes its first source's later.
class RTVideoTextAttachment final : public RTTextAttachment {
    QL_OBJECT(RTVideoTextAttachment, RTTextAttachment)
};

}  // namespace ql
