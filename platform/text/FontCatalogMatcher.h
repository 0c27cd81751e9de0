#pragma once
// The font catalog's use of fontconfig's matching: its configuration, read once, and what it picks for the
// family names the catalog does not have. Internal to the text layer.

#include <fontconfig/fontconfig.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/text/FontCatalog.h"
#include "platform/text/FontconfigSupport.h"

namespace ql::ct {

class FontCatalog::Matcher {
public:
    Matcher();
    ~Matcher();

    // Nullptr when fontconfig could not be set up. Read only while the catalog is built.
    FcConfig* configuration() const { return config_.get(); }

    // The family of the installed font fontconfig matches for `family`, with whether fontconfig knew the name.
    std::optional<FamilyMatch> match(std::string_view family);

    // Names longer than this are matched by no rule of fontconfig's, and are not handed to it.
    static constexpr std::size_t MaximumNameLength = 128;

private:
    // The families fontconfig's substitution puts after the name, for this name.
    std::vector<std::string> substitutedFamilies(FcPattern* pattern) const;
    std::optional<FamilyMatch> find(const std::string& family);

    std::unique_ptr<FcConfig, detail::ConfigDeleter> config_;
    // What fontconfig puts after a name it has no rule for.
    std::vector<std::string> unknownNameFamilies_;
    std::mutex lock_;
    // Documents can ask for any number of names; past this many the cache starts over.
    static constexpr std::size_t CacheLimit = 256;
    std::unordered_map<std::string, std::optional<FamilyMatch>> cache_;
};

}  // namespace ql::ct
