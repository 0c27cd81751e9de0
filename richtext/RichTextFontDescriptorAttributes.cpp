// A font descriptor as a font-descriptor attribute dictionary, and back; the small-caps question.

#include "platform/text/FontDescriptorAttributes.h"
#include "platform/text/FontFeatures.h"
#include "richtext/RichTextFontDescriptor.h"

namespace ql {

RichTextFontDescriptor::RichTextFontDescriptor(const ns::Dictionary& attributes) { setFontAttributes(attributes); }

std::shared_ptr<RichTextFontDescriptor> RichTextFontDescriptor::fontDescriptorWithFontAttributes(const ns::Dictionary& attributes) {
    return std::make_shared<RichTextFontDescriptor>(attributes);
}

std::shared_ptr<RichTextFontDescriptor> RichTextFontDescriptor::fontDescriptorForCTFont(const ct::Font& font) {
    return std::make_shared<RichTextFontDescriptor>(font);
}

void RichTextFontDescriptor::setFontAttributes(const std::optional<ns::Dictionary>& attributes) {
    if (!attributes) {
        fontFamily_.reset();
        fontName_.reset();
        pointSize_ = 12;
        stylisticTraits_ = 0;
        stylisticClass_ = 0;
        return;
    }
    if (const ns::Dictionary* traits = (*attributes)[ct::FontTraitsAttribute].asDictionary()) {
        if (const ns::Value* symbolic = traits->find(ct::FontSymbolicTrait))
            setSymbolicTraits(static_cast<std::uint32_t>(symbolic->uint64Value()));
    }
    if (const ns::Value* size = attributes->find(ct::FontSizeAttribute)) setPointSize(size->doubleValue());
    if (const ns::Value* family = attributes->find(ct::FontFamilyNameAttribute); family && family->isString())
        fontFamily_ = std::string(family->asString());
    if (const ns::Value* name = attributes->find(ct::FontNameAttribute); name && name->isString())
        fontName_ = std::string(name->asString());
}

ns::Dictionary RichTextFontDescriptor::fontAttributes() const {
    ns::Dictionary attributes;
    if (const std::uint32_t traits = symbolicTraits(); traits != 0)
        attributes.set(ct::FontTraitsAttribute,
                       ns::Value(ns::Dictionary{{ct::FontSymbolicTrait, ns::Value(std::uint64_t(traits))}}));
    if (fontFamily_) attributes.set(ct::FontFamilyNameAttribute, ns::Value(*fontFamily_));
    if (fontName_) attributes.set(ct::FontNameAttribute, ns::Value(*fontName_));
    attributes.set(ct::FontSizeAttribute, ns::Value(pointSize_));
    if (smallCapsFeature_) {
        const ns::Dictionary smallCaps{{ct::FontFeatureTypeIdentifierKey, ns::Value(std::int64_t(ct::LetterCaseType))},
                                       {ct::FontFeatureSelectorIdentifierKey, ns::Value(std::int64_t(ct::SmallCapsSelector))}};
        attributes.set(ct::FontFeatureSettingsAttribute, ns::Value(ns::Array{ns::Value(smallCaps)}));
    }
    return attributes;
}

ns::Dictionary RichTextFontDescriptor::fontAttributesWithOverrideFontName(std::string_view fontName) const {
    ns::Dictionary attributes = fontAttributes();
    attributes.erase(ct::FontFamilyNameAttribute);
    attributes.set(ct::FontNameAttribute, ns::Value(std::string(fontName)));
    return attributes;
}

bool RichTextFontDescriptor::supportsNativeSmallCaps() const {
    if (fontFamily_ && smallCapsFontName(*fontFamily_, boldTrait(), italicTrait())) return true;
    const std::optional<ct::Font> font = newMatchingFont();
    return font && ct::fontHasSmallCapsFeature(*font);
}

}  // namespace ql
