// The tags whose elements need more than their CSS: indents of quotations, paragraphs and lists, header
// levels, links, the legacy font tag, a text area's line ends, and what is only complete at an end tag (style
// sheets, linked CSS files, object and video contents). Start handlers run once the element is styled and
// current; end handlers while it is still current, before it is flushed.

#include <algorithm>
#include <array>
#include <charconv>
#include <sstream>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Text.h"
#include "richtext/RTHTMLAttributedStringBuilder.h"
#include "richtext/RTHTMLColors.h"
#include "richtext/RTLog.h"
#include "richtext/RTStylesheetHTMLElement.h"
#include "richtext/RTTextAttachmentHTMLElement.h"

namespace ql {

namespace {

// The legacy font sizes 1 to 7, in points.
constexpr std::array<double, 7> FontTagSizes = {10, 13, 16, 18, 24, 32, 48};

std::optional<std::int64_t> integerValue(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n')) text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int64_t value = 0;
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ec != std::errc()) return std::nullopt;
    return value;
}

std::string trimmedHref(std::string_view href) {
    std::string text;
    for (char c : href)
        if (c != '\n') text += c;
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A local regular file of a bounded size, as UTF-8 text; nothing for devices, pipes, huge or unreadable
// files, or bytes that are not UTF-8.
std::optional<std::string> readLocalStylesheet(const std::string& path, std::size_t limit) {
    const auto data = ns::dataWithContentsOfFile(path, limit);
    if (!data || !ns::isValidUTF8(data->view())) return std::nullopt;
    return data->toString();
}

}  // namespace

std::optional<ns::URL> RTHTMLAttributedStringBuilder::resolvedURL(std::string_view text) const {
    std::optional<ns::URL> url = ns::URL::fromString(text);
    if (url && url->scheme()) return url;
    url = ns::URL::fromString(text, baseURL_);
    if (url) return url;
    ns::CharacterSet allowed = ns::CharacterSet::URLQueryAllowedCharacterSet();
    allowed.addCharactersInString("#");
    return ns::URL::fromString(ns::stringByAddingPercentEncodingWithAllowedCharacters(text, allowed), baseURL_);
}

// Found by the name's length first: every element of the document comes here, and few tags have a
// handler.
void RTHTMLAttributedStringBuilder::tagDidStart(std::string_view name) {
    switch (name.size()) {
    case 1:
        if (name == "a") startLink();
        else if (name == "p") startParagraph();
        return;
    case 2:
        if (name == "ul" || name == "ol") startList();
        else if (name[0] == 'h' && name[1] >= '1' && name[1] <= '6') currentTag_->setHeaderLevel(name[1] - '0');
        return;
    case 4:
        if (name == "font") startFont();
        return;
    case 8:
        // A text area shows its text as written, line ends and runs of spaces kept, whatever the rules say;
        // the default style sheet has no rule for it.
        if (name == "textarea") currentTag_->setPreserveNewlines(true);
        return;
    case 10:
        if (name == "blockquote") startBlockquote();
        return;
    default: return;
    }
}

void RTHTMLAttributedStringBuilder::tagWillEnd(std::string_view name) {
    if (name == "object") endObject();
    else if (name == "video") endVideo();
    else if (name == "style") endStyle();
    else if (name == "link") mergeLinkedStylesheet(*currentTag_);
}

void RTHTMLAttributedStringBuilder::startBlockquote() {
    RichTextParagraphStyle& style = currentTag_->mutableParagraphStyle();
    style.headIndent += 25 * textScale_;
    style.firstLineHeadIndent = style.headIndent;
    style.paragraphSpacing = defaultFontDescriptor_->pointSize();
}

void RTHTMLAttributedStringBuilder::startLink() {
    RTHTMLElement& link = *currentTag_;
    // A colour from CSS (the default rules' blue, a class rule) stays; only an inherited one or none
    // gives way to the default link colour.
    if (link.isColorInherited() || !link.textColor()) {
        link.setTextColor(defaultLinkColor_);
        link.setIsColorInherited(false);
    }
    link.setAnchorName(link.attributeForKey("name"));
    const std::optional<std::string> href = link.attributeForKey("href");
    const std::string target = href ? trimmedHref(*href) : std::string();
    if (!target.empty()) link.setLink(resolvedURL(target));
}

void RTHTMLAttributedStringBuilder::startList() {
    RichTextParagraphStyle& style = currentTag_->mutableParagraphStyle();
    style.firstLineHeadIndent = style.headIndent;
    // The element's own style object; lists it still shares with its parent's are copied as they grow.
    style.textLists.mutableList().push_back(currentTag_->listStyle());
}

void RTHTMLAttributedStringBuilder::startFont() {
    RTHTMLElement& font = *currentTag_;
    double size = font.fontDescriptor()->pointSize();
    if (const std::optional<std::string> attribute = font.attributeForKey("size")) {
        const std::optional<std::int64_t> number = integerValue(*attribute);
        size = number && *number >= 1 && *number <= 7 ? FontTagSizes[static_cast<std::size_t>(*number - 1)] * textScale_
                                                      : defaultFontDescriptor_->pointSize();
    }
    if (const std::optional<std::string> face = font.attributeForKey("face")) {
        // The previous traits do not carry over: the face names the font.
        font.setFontDescriptor(std::make_shared<RichTextFontDescriptor>(ct::Font::closestToName(*face, size)));
    } else {
        font.mutableFontDescriptor().setPointSize(size);
    }
    if (const std::optional<std::string> color = font.attributeForKey("color")) font.setTextColor(RTColorFromHTMLColorString(*color));
}

void RTHTMLAttributedStringBuilder::startParagraph() {
    const double indent = currentTag_->paragraphStyle()->headIndent + defaultParagraphStyle_->firstLineHeadIndent;
    currentTag_->setParagraphValue(&RichTextParagraphStyle::firstLineHeadIndent, indent);
}

void RTHTMLAttributedStringBuilder::endObject() {
    if (!dynamic_cast<RTTextAttachmentHTMLElement*>(currentTag_)) return;
    if (auto object = std::dynamic_pointer_cast<RTObjectTextAttachment>(currentTag_->textAttachment()))
        object->setChildNodes(currentTag_->childNodes());
}

void RTHTMLAttributedStringBuilder::endVideo() {
    if (!dynamic_cast<RTTextAttachmentHTMLElement*>(currentTag_)) return;
    auto video = std::dynamic_pointer_cast<RTVideoTextAttachment>(currentTag_->textAttachment());
    if (!video || video->contentURL()) return;
    const std::optional<RTHTMLParserNode::NodeList> children = currentTag_->childNodes();
    if (!children) return;
    const auto source = std::find_if(children->begin(), children->end(), [](const auto& child) { return child->name() == "source"; });
    if (source == children->end()) return;
    if (const std::optional<std::string> src = (*source)->attributeForKey("src")) video->setContentURL(ns::URL::fromString(*src, baseURL_));
}

void RTHTMLAttributedStringBuilder::endStyle() {
    if (auto* style = dynamic_cast<RTStylesheetHTMLElement*>(currentTag_)) globalStyleSheet_.mergeStylesheet(style->stylesheet());
}

void RTHTMLAttributedStringBuilder::mergeLinkedStylesheet(const RTHTMLElement& link) {
    std::string type = link.attributeForKey("type").value_or("");
    std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (type != "text/css") return;
    const std::optional<std::string> href = link.attributeForKey("href");
    if (!href) return;
    const std::optional<ns::URL> url = ns::URL::fromString(*href, baseURL_);
    if (!url || !url->isFileURL()) {
        RTLogMessage(RTLogLevelWarning, "CSS link referencing a non-local target, ignored");
        return;
    }
    const std::optional<std::string> css = readLocalStylesheet(url->path(), MaximumLinkedStylesheetLength);
    if (!css) {
        RTLogMessage(RTLogLevelWarning, "CSS link to an unreadable file, ignored");
        return;
    }
    globalStyleSheet_.mergeStylesheet(RTCSSStylesheet(*css));
}

}  // namespace ql
