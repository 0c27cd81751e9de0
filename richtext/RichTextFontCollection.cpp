#include "richtext/RichTextFontCollection.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "platform/foundation/Transliteration.h"
#include "platform/text/FontCatalog.h"

namespace ql {

namespace {

// Case and accents folded away, as a case- and diacritic-insensitive comparison sees the text.
std::string folded(std::string_view text) {
    std::string plain = ns::stringByApplyingTransform(text, "NFD; [:Nonspacing Mark:] Remove; NFC").value_or(std::string(text));
    std::transform(plain.begin(), plain.end(), plain.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return plain;
}

}  // namespace

const std::shared_ptr<RichTextFontCollection>& RichTextFontCollection::availableFontsCollection() {
    static const auto& collection = *new std::shared_ptr<RichTextFontCollection>(std::make_shared<RichTextFontCollection>());
    return collection;
}

RichTextFontCollection::Descriptors RichTextFontCollection::fontDescriptors() {
    std::lock_guard guard(lock_);
    if (!fontDescriptors_) {
        Descriptors descriptors;
        for (const ct::FontRecord& record : ct::FontCatalog::shared().records()) {
            auto descriptor = std::make_shared<RichTextFontDescriptor>();
            descriptor->setFontFamily(record.familyName);
            descriptor->setFontName(record.postScriptName);
            descriptor->setSymbolicTraits(record.traits);
            descriptors.push_back(std::move(descriptor));
        }
        // An empty list is not kept: the next call looks again.
        if (descriptors.empty()) return descriptors;
        fontDescriptors_ = std::move(descriptors);
    }
    return *fontDescriptors_;
}

void RichTextFontCollection::setFontDescriptors(Descriptors descriptors) {
    std::lock_guard guard(lock_);
    fontDescriptors_ = std::move(descriptors);
    fontMatchCache_.clear();
}

std::shared_ptr<RichTextFontDescriptor> RichTextFontCollection::matchingFontDescriptorForFontDescriptor(
    const RichTextFontDescriptor& descriptor) {
    const std::string family = descriptor.fontFamily().value_or("");
    char traits[64];
    std::snprintf(traits, sizeof traits, " and boldTrait == %d and italicTrait == %d", descriptor.boldTrait() ? 1 : 0,
                  descriptor.italicTrait() ? 1 : 0);
    const std::string key = "fontFamily BEGINSWITH[cd] " + family + traits;
    const auto sized = [&](const std::shared_ptr<RichTextFontDescriptor>& found) {
        auto copy = std::static_pointer_cast<RichTextFontDescriptor>(found->copy());
        copy->setPointSize(descriptor.pointSize());
        return copy;
    };
    {
        std::lock_guard guard(lock_);
        if (auto cached = fontMatchCache_.find(key); cached != fontMatchCache_.end()) return sized(cached->second);
    }
    const std::string prefix = folded(family);
    for (const std::shared_ptr<RichTextFontDescriptor>& candidate : fontDescriptors()) {
        if (candidate->boldTrait() != descriptor.boldTrait() || candidate->italicTrait() != descriptor.italicTrait()) continue;
        if (!folded(candidate->fontFamily().value_or("")).starts_with(prefix)) continue;
        std::lock_guard guard(lock_);
        fontMatchCache_[key] = candidate;
        return sized(candidate);
    }
    return nullptr;
}

std::vector<std::string> RichTextFontCollection::fontFamilyNames() {
    std::set<std::string> families;
    for (const auto& descriptor : fontDescriptors())
        if (descriptor->fontFamily()) families.insert(*descriptor->fontFamily());
    return {families.begin(), families.end()};
}

}  // namespace ql
