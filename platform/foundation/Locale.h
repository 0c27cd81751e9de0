#pragma once
// ns::Locale: a language and region named by an identifier ("zh_CN", "en_US_POSIX"), the user's current
// locale and the user's preferred languages. Formatters take their symbols and conventions from it.

#include <optional>
#include <string>
#include <vector>

namespace ql::ns {

class Locale {
public:
    explicit Locale(std::string identifier) : identifier_(std::move(identifier)) {}

    // The user's locale as it is set now: the phone's setting when the device stand-in gave one, else
    // the host's (LC_ALL, LC_MESSAGES, LANG).
    static Locale current();
    // The user's languages in order of preference, as language tags ("zh-Hans-CN", "en-US"): the phone's
    // setting when given, else the host's LANGUAGE list or the current locale's language.
    static std::vector<std::string> preferredLanguages();

    // Settings of the phone, made by the device stand-in; nullopt returns to the host's.
    static void setCurrent(std::optional<Locale> locale);
    static void setPreferredLanguages(std::optional<std::vector<std::string>> languages);

    const std::string& localeIdentifier() const { return identifier_; }
    // "zh" of "zh_CN"; "" when the identifier names none.
    std::string languageCode() const;
    // "CN" of "zh_CN"; "" when the identifier names no region.
    std::string countryCode() const;

    bool operator==(const Locale&) const = default;

private:
    std::string identifier_;
};

}  // namespace ql::ns
