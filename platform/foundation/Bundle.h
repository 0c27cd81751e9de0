#pragma once
// ns::Bundle: a folder of resources found by name and type, with its Info.plist values and its strings
// tables. The main bundle is the repository's resources/ folder, found beside the program; resource
// bundles ("ProgressHUD.bundle" …) are folders inside it. Resources are looked up in the folder of the
// user's preferred localization ("ru.lproj"), then in the bundle's folder, then in en.lproj, then in Base.lproj.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

class Bundle : public Object {
public:
    static const Class& classObject();
    const Class& objectClass() const override { return classObject(); }

    // The app's resources, located once by locateMainResources from the executable's folder; the executable's
    // folder itself when there are none.
    static Bundle& main();
    // The bundle of a folder, made once per path; nullptr when the path is no folder.
    static std::shared_ptr<Bundle> bundleWithPath(const std::string& path);
    // Where the main bundle lies: `override` (QUILLORY_RESOURCES) when it names a folder, else the first
    // "resources" folder holding an Info.plist in the executable's folder or one of the folders above it.
    static std::optional<std::string> locateMainResources(std::string_view override,
                                                          const std::string& executableDirectory);

    // Reads the folder's Info.plist, when it has one.
    explicit Bundle(std::string path);

    const std::string& bundlePath() const { return path_; }
    // Resources lie at the top of the bundle, as in the platform's app bundles.
    const std::string& resourcePath() const { return path_; }

    // The file "<name>.<type>" (just "<name>" when the type is empty; the first file of the type when the
    // name is), in the subdirectory when one is given. The name may hold a relative path.
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type,
                                               std::string_view subdirectory = {}) const;
    // Every file of the type (every file when the type is empty), in byte order of their names.
    std::vector<std::string> pathsForResourcesOfType(std::string_view type, std::string_view subdirectory = {}) const;
    std::optional<URL> URLForResource(std::string_view name, std::string_view extension,
                                      std::string_view subdirectory = {}) const;

    const Dictionary& infoDictionary() const { return info_; }
    Value objectForInfoDictionaryKey(std::string_view key) const { return info_[key]; }
    std::optional<std::string> bundleIdentifier() const;

    // The localizations the bundle has: its "<name>.lproj" folders (Base excepted) and the names its Info.plist
    // lists under CFBundleLocalizations, in byte order.
    std::vector<std::string> localizations() const;
    // The bundle's localizations that the user's preferred languages ask for, in the user's order ("ru" for
    // "ru-RU" when the bundle has no "ru-RU"); the development region (else "en") when none is asked for.
    std::vector<std::string> preferredLocalizations() const;

    // The key's text in "<table>.strings" ("Localizable" when the table is empty); when the table lacks it, the
    // value unless that is empty, else the key itself.
    std::string localizedString(std::string_view key, std::string_view value, std::string_view table) const;

private:
    std::vector<std::string> searchFolders(std::string_view subdirectory) const;
    std::optional<std::string> pathForResourceIn(const std::vector<std::string>& folders, std::string_view file) const;
    std::shared_ptr<const Dictionary> stringsTable(const std::string& table) const;

    std::string path_;
    Dictionary info_;
    mutable std::mutex tablesMutex_;
    // Keyed by localization and table name.
    mutable std::map<std::string, std::shared_ptr<const Dictionary>, std::less<>> tables_;
    mutable std::once_flag localizationsOnce_;
    mutable std::vector<std::string> localizations_;
};

}  // namespace ql::ns
