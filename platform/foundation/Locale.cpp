#include "platform/foundation/Locale.h"

#include <unicode/locid.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace ql::ns {

namespace {

struct Settings {
    std::mutex mutex;
    std::optional<Locale> current;
    std::optional<std::vector<std::string>> preferredLanguages;
};

Settings& settings() {
    static auto& instance = *new Settings;
    return instance;
}

// "zh_CN.UTF-8" → "zh-Hans-CN", "en_US" → "en-US". Chinese carries its script, as the platform reports it;
// the POSIX locale stands for American English.
std::optional<std::string> languageTag(std::string_view posixName) {
    std::string name(posixName.substr(0, posixName.find_first_of(".@")));
    if (name.empty() || name == "C" || name == "POSIX") name = "en_US";
    icu::Locale locale(name.c_str());
    if (locale.isBogus() || *locale.getLanguage() == '\0') return std::nullopt;
    // ICU names the C locale "en_US_POSIX"; its POSIX variant is no language preference.
    if (std::string_view(locale.getVariant()) == "POSIX") {
        std::string plain = locale.getLanguage();
        if (*locale.getScript()) plain += std::string("_") + locale.getScript();
        if (*locale.getCountry()) plain += std::string("_") + locale.getCountry();
        locale = icu::Locale(plain.c_str());
    }
    UErrorCode status = U_ZERO_ERROR;
    if (std::string_view(locale.getLanguage()) == "zh" && *locale.getScript() == '\0') {
        icu::Locale likely(locale);
        likely.addLikelySubtags(status);
        if (U_SUCCESS(status)) {
            std::string withScript = std::string("zh_") + likely.getScript();
            if (*locale.getCountry()) withScript += std::string("_") + locale.getCountry();
            locale = icu::Locale(withScript.c_str());
        }
        status = U_ZERO_ERROR;
    }
    std::string tag = locale.toLanguageTag<std::string>(status);
    if (U_FAILURE(status) || tag.empty() || tag == "und") return std::nullopt;
    return tag;
}

const char* environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

Locale Locale::current() {
    {
        std::lock_guard lock(settings().mutex);
        if (settings().current) return *settings().current;
    }
    // ICU reads the host's locale variables the way the C library does.
    return Locale(uloc_getDefault());
}

std::vector<std::string> Locale::preferredLanguages() {
    {
        std::lock_guard lock(settings().mutex);
        if (settings().preferredLanguages) return *settings().preferredLanguages;
    }
    std::vector<std::string> languages;
    if (const char* list = environment("LANGUAGE")) {
        std::string_view rest(list);
        while (!rest.empty()) {
            std::string_view item = rest.substr(0, rest.find(':'));
            rest.remove_prefix(std::min(rest.size(), item.size() + 1));
            if (auto tag = languageTag(item)) languages.push_back(*tag);
        }
    }
    if (languages.empty()) {
        if (auto tag = languageTag(current().localeIdentifier())) languages.push_back(*tag);
    }
    return languages;
}

void Locale::setCurrent(std::optional<Locale> locale) {
    std::lock_guard lock(settings().mutex);
    settings().current = std::move(locale);
}

void Locale::setPreferredLanguages(std::optional<std::vector<std::string>> languages) {
    std::lock_guard lock(settings().mutex);
    settings().preferredLanguages = std::move(languages);
}

std::string Locale::languageCode() const { return icu::Locale(identifier_.c_str()).getLanguage(); }

std::string Locale::countryCode() const { return icu::Locale(identifier_.c_str()).getCountry(); }

}  // namespace ql::ns
