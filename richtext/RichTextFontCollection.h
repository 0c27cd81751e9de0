#pragma once
// RichTextFontCollection: a descriptor for every font the text layer can hand out, listed once per
// process on first use, with a cached lookup by family prefix and traits. It feeds the font descriptor's
// table of shortest font names (RichTextFontDescriptor::asyncPreloadFontLookupTable).

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Object.h"
#include "richtext/RichTextFontDescriptor.h"

namespace ql {

class RichTextFontCollection final : public ns::Object {
    QL_OBJECT(RichTextFontCollection, ns::Object)
public:
    using Descriptors = std::vector<std::shared_ptr<RichTextFontDescriptor>>;

    // Nothing is read until asked.
    RichTextFontCollection() = default;
    // The process's collection, made once (thread-safe).
    static const std::shared_ptr<RichTextFontCollection>& availableFontsCollection();

    // One descriptor per font (family, PostScript name, traits; 12 points), in the catalog's order;
    // listed on first use.
    Descriptors fontDescriptors();
    void setFontDescriptors(Descriptors descriptors);

    // The first font whose family begins with the descriptor's family (ignoring case and accents) and
    // whose bold and italic traits equal the descriptor's, as a copy at the descriptor's point size;
    // nothing when none does. Hits are cached by family prefix and traits.
    std::shared_ptr<RichTextFontDescriptor> matchingFontDescriptorForFontDescriptor(const RichTextFontDescriptor& descriptor);

    // The distinct families, sorted by plain comparison.
    std::vector<std::string> fontFamilyNames();

private:
    std::mutex lock_;
    std::optional<Descriptors> fontDescriptors_;
    // Lookup text -> the first matching descriptor.
    std::unordered_map<std::string, std::shared_ptr<RichTextFontDescriptor>> fontMatchCache_;
};

}  // namespace ql
