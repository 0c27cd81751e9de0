#include "richtext/RTTextAttachment.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"
#include "platform/ui/GeometryValue.h"
#include "richtext/NSStringCSS.h"
#include "richtext/RTHTMLOptions.h"

namespace ql {

namespace {

// The classes every process starts with. The import asks for the tag of every element of every
// document: a tag is told apart by its length before any of its bytes are read.
const ns::Class* defaultClassForTagName(std::string_view tagName) {
    switch (tagName.size()) {
    case 3:
        return tagName == "img" ? &RTTextAttachment::classObject() : nullptr;
    case 5:
        return tagName == "video" ? &RTVideoTextAttachment::classObject() : nullptr;
    case 6:
        if (tagName == "iframe") return &RTTextAttachment::classObject();
        return tagName == "object" ? &RTObjectTextAttachment::classObject() : nullptr;
    default:
        return nullptr;
    }
}

// Set once a class is registered: until then the defaults answer without the registry and its lock.
constinit std::atomic<bool> registryChanged{false};

struct Registry {
    std::mutex lock;
    std::map<std::string, const ns::Class*, std::less<>> classes;
};

Registry& registry() {
    static Registry* shared = [] {
        auto* made = new Registry;
        for (std::string_view tag : {"img", "iframe", "object", "video"}) made->classes.emplace(tag, defaultClassForTagName(tag));
        return made;
    }();
    return *shared;
}

// The leading number of an attribute's text; 0 when absent or not a number.
double lengthAttribute(const ns::Value* value) {
    if (!value || value->isNil()) return 0;
    if (value->isString()) {
        // Nearly every image size is written in whole pixels ("120"), which read as that number: added up
        // here without the reading of a CSS length.
        const std::string_view text = value->asString();
        if (!text.empty() && text.size() <= 9 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            double whole = 0;
            for (const char c : text) whole = whole * 10 + (c - '0');
            return whole;
        }
        return std::max(0.0, pixelSizeOfCSSMeasure(text, 0, 1));
    }
    return std::max(0.0, pixelSizeOfCSSMeasure(value->stringValue(), 0, 1));
}

// A URL's text as written nearly always is ASCII alone with no blank at either end: it is read in place
// rather than trimmed into a copy.
bool needsTrimming(std::string_view text) {
    if (text.empty() || static_cast<unsigned char>(text.front()) <= ' ' || static_cast<unsigned char>(text.back()) <= ' ')
        return true;
    return !std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<ns::URL> resolvedURL(std::string_view text, const std::optional<ns::URL>& base) {
    std::string trimmedCopy;
    std::string_view trimmed = text;
    if (needsTrimming(text)) {
        trimmedCopy = ns::stringByTrimmingCharactersInSet(text, ns::CharacterSet::whitespaceAndNewlineCharacterSet());
        trimmed = trimmedCopy;
    }
    if (trimmed.empty()) return std::nullopt;
    if (auto url = ns::URL::fromString(trimmed, base)) return url;
    // Authors write spaces and other characters a URL cannot hold; escape them, keeping escapes and
    // fragments as written.
    ns::CharacterSet allowed = ns::CharacterSet::URLQueryAllowedCharacterSet();
    allowed.addCharactersInString("#%");
    return ns::URL::fromString(ns::stringByAddingPercentEncodingWithAllowedCharacters(trimmed, allowed), base);
}

cg::Size fitted(cg::Size size, const std::optional<cg::Size>& maximum) {
    if (!maximum || maximum->width <= 0 || maximum->height <= 0) return size;
    if (size.width > 0 && size.height > 0) {
        const double scale = std::min({1.0, maximum->width / size.width, maximum->height / size.height});
        return {size.width * scale, size.height * scale};
    }
    return {std::min(size.width, maximum->width), std::min(size.height, maximum->height)};
}

}  // namespace

const ns::Class* RTTextAttachment::registeredClassForTagName(std::string_view tagName) {
    if (!registryChanged.load(std::memory_order_acquire)) return defaultClassForTagName(tagName);
    Registry& shared = registry();
    std::lock_guard lock(shared.lock);
    const auto found = shared.classes.find(tagName);
    return found == shared.classes.end() ? nullptr : found->second;
}

void RTTextAttachment::registerClassForTagName(const ns::Class& cls, std::string_view tagName) {
    if (!cls.isSubclassOf(classObject()) || !cls.canCreateInstances())
        throw ns::Exception(ns::InvalidArgumentException,
                            std::string(cls.name()) + " is no attachment class that can be made by name");
    Registry& shared = registry();
    std::lock_guard lock(shared.lock);
    shared.classes.insert_or_assign(std::string(tagName), &cls);
    registryChanged.store(true, std::memory_order_release);
}

std::shared_ptr<RTTextAttachment> RTTextAttachment::textAttachmentWithElement(std::string_view tagName,
                                                                            const ns::Dictionary& attributes,
                                                                            const ns::Dictionary& options) {
    const ns::Class* cls = registeredClassForTagName(tagName);
    if (!cls) return nullptr;
    // The class of images and frames is made directly rather than through the registry's factory.
    auto attachment = cls == &classObject() ? std::make_shared<RTTextAttachment>()
                                            : std::dynamic_pointer_cast<RTTextAttachment>(cls->createInstance());
    if (!attachment) return nullptr;
    attachment->setUpWithElement(attributes, options);
    return attachment;
}

void RTTextAttachment::setUpWithElement(const ns::Dictionary& attributes, const ns::Dictionary& options) {
    attributes_ = attributes;
    // The source and both sizes are picked up in one pass over the attributes rather than three searches.
    const std::string_view sourceName = contentURLAttributeName();
    const ns::Value* source = nullptr;
    const ns::Value* width = nullptr;
    const ns::Value* height = nullptr;
    for (const auto& [key, value] : attributes) {
        if (key == sourceName) source = &value;
        if (key == "width") width = &value;
        if (key == "height") height = &value;
    }
    if (source && !source->isNil()) {
        const auto base = ns::URL::fromValue(options[NSBaseURLDocumentOption]);
        contentURL_ = source->isString() ? resolvedURL(source->asString(), base) : resolvedURL(source->stringValue(), base);
    }
    originalSize_ = {lengthAttribute(width), lengthAttribute(height)};
    displaySize_ = fitted(originalSize_, ui::GeometryValue::CGSizeValue(options[RTMaxImageSize]));
}

void RTTextAttachment::setVerticalAlignment(std::uint64_t alignment) {
    verticalAlignment_ = alignment <= 3 ? static_cast<RTTextAttachmentVerticalAlignment>(alignment)
                                        : RTTextAttachmentVerticalAlignment::Baseline;
}

void RTTextAttachment::adjustVerticalAlignmentForFont(const ct::Font& font) {
    fontLeading_ = font.leading();
    fontAscent_ = font.ascent();
    fontDescent_ = font.descent();
}

double RTTextAttachment::ascentForLayout() const {
    const double height = displaySize_.height;
    switch (verticalAlignment_) {
    case RTTextAttachmentVerticalAlignment::Baseline:
        return height;
    case RTTextAttachmentVerticalAlignment::Top:
        return std::min(height, fontAscent_);
    case RTTextAttachmentVerticalAlignment::Center:
        return std::clamp((fontAscent_ - fontDescent_) / 2 + height / 2, 0.0, height);
    case RTTextAttachmentVerticalAlignment::Bottom:
        return std::max(0.0, height - fontDescent_);
    }
    return height;
}

double RTTextAttachment::descentForLayout() const { return displaySize_.height - ascentForLayout(); }

}  // namespace ql
