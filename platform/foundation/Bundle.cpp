#include "platform/foundation/Bundle.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/StringsTable.h"
#include "platform/foundation/Text.h"

namespace ql::ns {

namespace {

constexpr std::string_view kLocalizationFolders[] = {"", "en.lproj", "Base.lproj"};

std::string executableDirectory() {
    std::error_code failure;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", failure);
    if (failure) return std::filesystem::current_path().string();
    return executable.parent_path().string();
}

bool isDirectory(const std::string& path) {
    bool directory = false;
    return FileManager::defaultManager().fileExistsAtPath(path, &directory) && directory;
}

std::string joined(std::string_view folder, std::string_view component) {
    if (component.empty()) return std::string(folder);
    std::string out(folder);
    if (!out.empty() && out.back() != '/') out += '/';
    out += component;
    return out;
}

// A table written as a property list instead of the strings text is read as one.
std::optional<Dictionary> readStringsTable(const Data& data, Error* error) {
    std::string_view bytes = data.view();
    if (!bytes.starts_with("<?xml") && !bytes.starts_with("bplist")) return parseStringsTable(data, error);
    Value plist = PropertyListSerialization::propertyListWithData(data, PropertyListImmutable, nullptr, error);
    if (const Dictionary* table = plist.asDictionary()) return *table;
    return std::nullopt;
}

std::mutex bundlesMutex;
std::map<std::string, std::shared_ptr<Bundle>, std::less<>>& bundlesByPath() {
    // Bundles live as long as the process, as on the platform.
    static auto* bundles = new std::map<std::string, std::shared_ptr<Bundle>, std::less<>>();
    return *bundles;
}

}  // namespace

const Class& Bundle::classObject() {
    static const Class& cls = *new Class("NSBundle", &Object::classObject());
    return cls;
}

Bundle& Bundle::main() {
    static Bundle* bundle = [] {
        const char* override = ::getenv("QUILLORY_RESOURCES");
        std::string executableFolder = executableDirectory();
        std::string path = locateMainResources(override ? override : "", executableFolder).value_or(executableFolder);
        if (auto found = bundleWithPath(path)) return found.get();
        // Not even the executable's folder is there: a bundle without resources.
        static auto* orphan = new std::shared_ptr<Bundle>(std::make_shared<Bundle>(path));
        return orphan->get();
    }();
    return *bundle;
}

std::shared_ptr<Bundle> Bundle::bundleWithPath(const std::string& path) {
    if (path.empty() || !isDirectory(path)) return nullptr;
    std::string key = std::filesystem::absolute(path).lexically_normal().string();
    if (key.size() > 1 && key.back() == '/') key.pop_back();
    std::lock_guard lock(bundlesMutex);
    auto& bundles = bundlesByPath();
    auto found = bundles.find(key);
    if (found != bundles.end()) return found->second;
    auto bundle = std::make_shared<Bundle>(key);
    bundles.emplace(key, bundle);
    return bundle;
}

std::optional<std::string> Bundle::locateMainResources(std::string_view override,
                                                       const std::string& executableDirectory) {
    if (!override.empty()) {
        std::string path = std::filesystem::absolute(override).lexically_normal().string();
        if (isDirectory(path)) return path;
        Log::write("Bundle: QUILLORY_RESOURCES names no folder: " + path);
    }
    std::filesystem::path folder = std::filesystem::absolute(executableDirectory).lexically_normal();
    for (;;) {
        std::filesystem::path candidate = folder / "resources";
        if (FileManager::defaultManager().fileExistsAtPath((candidate / "Info.plist").string()))
            return candidate.string();
        if (!folder.has_relative_path()) return std::nullopt;
        folder = folder.parent_path();
    }
}

Bundle::Bundle(std::string path) : path_(std::move(path)) {
    if (auto data = dataWithContentsOfFile(joined(path_, "Info.plist"), PropertyListSerialization::kMaxFileLength)) {
        Error error(std::string(CocoaErrorDomain), FileReadCorruptFileError);
        Value info = PropertyListSerialization::propertyListWithData(*data, PropertyListImmutable, nullptr, &error);
        if (const Dictionary* dictionary = info.asDictionary()) info_ = *dictionary;
        else Log::write("Bundle: unreadable Info.plist in " + path_ + ": " + error.description());
    }
}

std::vector<std::string> Bundle::localizations() const {
    std::call_once(localizationsOnce_, [this] {
        std::set<std::string> names;
        if (auto entries = FileManager::defaultManager().contentsOfDirectoryAtPath(path_)) {
            for (const std::string& entry : *entries) {
                if (pathExtension(entry) != "lproj" || !isDirectory(joined(path_, entry))) continue;
                std::string name = entry.substr(0, entry.size() - std::string_view(".lproj").size());
                if (name != "Base") names.insert(name);
            }
        }
        if (const Array* listed = info_["CFBundleLocalizations"].asArray()) {
            for (const Value& name : *listed)
                if (name.isString()) names.insert(std::string(name.asString()));
        }
        localizations_.assign(names.begin(), names.end());
    });
    return localizations_;
}

std::vector<std::string> Bundle::preferredLocalizations() const {
    std::vector<std::string> available = localizations();
    auto has = [&available](const std::string& name) {
        return std::find(available.begin(), available.end(), name) != available.end();
    };
    std::vector<std::string> preferred;
    for (std::string tag : Locale::preferredLanguages()) {
        std::replace(tag.begin(), tag.end(), '_', '-');
        std::string underscored = tag;
        std::replace(underscored.begin(), underscored.end(), '-', '_');
        std::string language = tag.substr(0, tag.find('-'));
        for (const std::string& candidate : {tag, underscored, language}) {
            if (!has(candidate)) continue;
            if (std::find(preferred.begin(), preferred.end(), candidate) == preferred.end())
                preferred.push_back(candidate);
            break;
        }
    }
    if (preferred.empty()) {
        const Value& region = info_["CFBundleDevelopmentRegion"];
        preferred.push_back(region.isString() ? std::string(region.asString()) : std::string("en"));
    }
    return preferred;
}

std::vector<std::string> Bundle::searchFolders(std::string_view subdirectory) const {
    std::vector<std::string> folders;
    std::string preferred = preferredLocalizations().front() + ".lproj";
    if (std::find(std::begin(kLocalizationFolders), std::end(kLocalizationFolders), preferred) ==
        std::end(kLocalizationFolders))
        folders.push_back(joined(joined(path_, preferred), subdirectory));
    for (std::string_view localization : kLocalizationFolders)
        folders.push_back(joined(joined(path_, localization), subdirectory));
    return folders;
}

std::optional<std::string> Bundle::pathForResource(std::string_view name, std::string_view type,
                                                   std::string_view subdirectory) const {
    if (type.starts_with('.')) type.remove_prefix(1);
    if (name.empty()) {
        if (type.empty()) return std::nullopt;
        std::vector<std::string> all = pathsForResourcesOfType(type, subdirectory);
        if (all.empty()) return std::nullopt;
        return all.front();
    }
    std::string file = type.empty() ? std::string(name) : std::string(name) + "." + std::string(type);
    return pathForResourceIn(searchFolders(subdirectory), file);
}

std::optional<std::string> Bundle::pathForResourceIn(const std::vector<std::string>& folders,
                                                     std::string_view file) const {
    for (const std::string& folder : folders) {
        std::string candidate = joined(folder, file);
        if (FileManager::defaultManager().fileExistsAtPath(candidate)) return candidate;
    }
    return std::nullopt;
}

std::vector<std::string> Bundle::pathsForResourcesOfType(std::string_view type, std::string_view subdirectory) const {
    if (type.starts_with('.')) type.remove_prefix(1);
    std::map<std::string, std::string> byName;  // the first folder holding a name wins
    for (const std::string& folder : searchFolders(subdirectory)) {
        auto names = FileManager::defaultManager().contentsOfDirectoryAtPath(folder);
        if (!names) continue;
        for (const std::string& name : *names)
            if (type.empty() || pathExtension(name) == type) byName.emplace(name, joined(folder, name));
    }
    std::vector<std::string> paths;
    for (auto& entry : byName) paths.push_back(std::move(entry.second));
    return paths;
}

std::optional<URL> Bundle::URLForResource(std::string_view name, std::string_view extension,
                                          std::string_view subdirectory) const {
    auto path = pathForResource(name, extension, subdirectory);
    if (!path) return std::nullopt;
    return URL::fileURLWithPath(*path, isDirectory(*path));
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    const Value& identifier = info_["CFBundleIdentifier"];
    if (!identifier.isString()) return std::nullopt;
    return std::string(identifier.asString());
}

std::string Bundle::localizedString(std::string_view key, std::string_view value, std::string_view table) const {
    if (key.empty()) return std::string(value);
    auto strings = stringsTable(table.empty() ? std::string("Localizable") : std::string(table));
    if (const Value* text = strings->find(key); text && text->isString()) return std::string(text->asString());
    return std::string(value.empty() ? key : value);
}

std::shared_ptr<const Dictionary> Bundle::stringsTable(const std::string& table) const {
    std::vector<std::string> folders = searchFolders({});
    // The first folder names the localization in use, so a change of language finds its own table.
    std::string key = folders.front() + "\n" + table;
    std::lock_guard lock(tablesMutex_);
    if (auto found = tables_.find(key); found != tables_.end()) return found->second;
    auto strings = std::make_shared<Dictionary>();
    if (auto path = pathForResourceIn(folders, table + ".strings")) {
        Error error(std::string(CocoaErrorDomain), FileReadUnknownError);
        auto data = dataWithContentsOfFile(*path, PropertyListSerialization::kMaxFileLength, &error);
        std::optional<Dictionary> parsed = data ? readStringsTable(*data, &error) : std::nullopt;
        if (parsed) *strings = std::move(*parsed);
        else Log::write("Bundle: strings table " + *path + " unreadable: " + error.description());
    }
    tables_.emplace(std::move(key), strings);
    return strings;
}

}  // namespace ql::ns
