#pragma once
// ns::NumberFormatter: numbers to text and back in a locale, in the platform's plain, decimal or percent
// style. Parsing is strict: the whole text must be one number of the style ("1,234.5" in decimal style,
// "1234.5" in the plain style, "25%" in percent style). Safe to use from several threads.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Locale.h"
#include "platform/foundation/Value.h"

namespace ql::ns {

// With the platform's values.
enum class NumberFormatterStyle { None = 0, Decimal = 1, Percent = 3 };

class NumberFormatter {
public:
    // Style None in the current locale.
    NumberFormatter();
    NumberFormatter(const NumberFormatter& other);
    NumberFormatter& operator=(const NumberFormatter& other);
    NumberFormatter(NumberFormatter&&) noexcept;
    NumberFormatter& operator=(NumberFormatter&&) noexcept;
    ~NumberFormatter();

    // Choosing a style resets grouping and fraction digits to the style's own (None: no grouping and no
    // fraction digits; Decimal: grouping, up to 3 fraction digits; Percent: grouping, none).
    NumberFormatterStyle numberStyle() const;
    void setNumberStyle(NumberFormatterStyle style);
    Locale locale() const;
    void setLocale(const Locale& locale);
    bool usesGroupingSeparator() const;
    void setUsesGroupingSeparator(bool uses);
    std::uint64_t minimumFractionDigits() const;
    void setMinimumFractionDigits(std::uint64_t digits);
    std::uint64_t maximumFractionDigits() const;
    void setMaximumFractionDigits(std::uint64_t digits);

    // Rounded half to even. Nothing for a value that is no number.
    std::optional<std::string> stringFromNumber(const Value& number) const;
    // An integer value when the number is whole and fits 64 bits, else a double; nothing unless the whole
    // text is one number.
    std::optional<Value> numberFromString(std::string_view text) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ql::ns
