#pragma once
// ns::Scanner: reads strings and numbers off the front of a text, in the platform's manner. The scan
// location counts UTF-16 code units. Before each scan the characters to be skipped (white space and line
// ends unless changed) are passed over; a scan that fails leaves the location where it was.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/CharacterSet.h"

namespace ql::ns {

class Scanner {
public:
    explicit Scanner(std::string_view string);

    const std::string& string() const { return string_; }
    std::uint64_t scanLocation() const { return location_; }
    // Beyond the end of the text raises "NSRangeException".
    void setScanLocation(std::uint64_t location);
    const std::optional<CharacterSet>& charactersToBeSkipped() const { return skipped_; }
    void setCharactersToBeSkipped(std::optional<CharacterSet> characters) { skipped_ = std::move(characters); }
    // Off by default: scanString and scanUpToString ignore case.
    bool caseSensitive() const { return caseSensitive_; }
    void setCaseSensitive(bool caseSensitive) { caseSensitive_ = caseSensitive; }

    // `into`, when given, receives the text as it stands in the scanned string.
    bool scanString(std::string_view string, std::string* into = nullptr);
    bool scanCharactersFromSet(const CharacterSet& set, std::string* into = nullptr);
    // Everything up to the stop string or the end of the text; false when nothing lies before it.
    bool scanUpToString(std::string_view stopString, std::string* into = nullptr);
    bool scanUpToCharactersFromSet(const CharacterSet& stopSet, std::string* into = nullptr);

    // Decimal integers with an optional sign. A value out of range gives the type's limit, and the
    // digits are consumed all the same.
    bool scanInt(std::int32_t* value = nullptr);
    bool scanInteger(std::int64_t* value = nullptr);
    bool scanLongLong(std::int64_t* value = nullptr);
    // Hexadecimal digits after an optional "0x" or "0X"; out of range gives UINT32_MAX.
    bool scanHexInt(std::uint32_t* value = nullptr);
    // A sign, digits with an optional "." and fraction, and an optional exponent ("-1.5e3", ".5").
    bool scanDouble(double* value = nullptr);

    // True when only characters to be skipped remain.
    bool isAtEnd() const;

private:
    // The location after the characters to be skipped.
    std::size_t afterSkipped() const;
    char32_t codePointAt(std::size_t index, std::size_t* next) const;
    // How many units at `index` match `needle` under the scanner's case rule; nothing when they differ.
    std::optional<std::size_t> matchAt(std::size_t index, const std::u16string& needle) const;
    std::string text(std::size_t from, std::size_t to) const;
    // The extent of a signed decimal integer at `index` (sign included), and whether it is negative.
    std::size_t integerEnd(std::size_t index, bool* negative) const;
    template <class Integer>
    bool scanSignedInteger(Integer* value);

    std::string string_;
    std::u16string units_;
    std::size_t location_ = 0;
    std::optional<CharacterSet> skipped_ = CharacterSet::whitespaceAndNewlineCharacterSet();
    bool caseSensitive_ = false;
};

}  // namespace ql::ns
