#include "platform/foundation/NumberFormatter.h"

#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>

#include <algorithm>
#include <mutex>

#include "platform/foundation/UnicodeText.h"

namespace ql::ns {

struct NumberFormatter::Impl {
    NumberFormatterStyle style = NumberFormatterStyle::None;
    Locale locale = Locale::current();
    // Settings made after the style was chosen; the style's own otherwise.
    std::optional<bool> grouping;
    std::optional<std::int32_t> minimumFractionDigits;
    std::optional<std::int32_t> maximumFractionDigits;
    // Built on first use after a change of the settings above.
    mutable std::unique_ptr<icu::NumberFormat> formatter;
    mutable std::mutex mutex;

    Impl() = default;
    Impl(const Impl& other) {
        std::lock_guard lock(other.mutex);
        style = other.style;
        locale = other.locale;
        grouping = other.grouping;
        minimumFractionDigits = other.minimumFractionDigits;
        maximumFractionDigits = other.maximumFractionDigits;
    }

    // Under the mutex. Nothing only when ICU lacks the locale's data.
    icu::NumberFormat* icuFormatter() const {
        if (formatter) return formatter.get();
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale icuLocale(locale.localeIdentifier().c_str());
        std::unique_ptr<icu::NumberFormat> made(icu::NumberFormat::createInstance(
            icuLocale, style == NumberFormatterStyle::Percent ? UNUM_PERCENT : UNUM_DECIMAL, status));
        if (U_FAILURE(status) || !made) return nullptr;
        if (style == NumberFormatterStyle::None) {
            made->setGroupingUsed(false);
            made->setMaximumFractionDigits(0);
        }
        made->setLenient(false);
        if (grouping) made->setGroupingUsed(*grouping);
        if (minimumFractionDigits) made->setMinimumFractionDigits(*minimumFractionDigits);
        if (maximumFractionDigits) made->setMaximumFractionDigits(*maximumFractionDigits);
        formatter = std::move(made);
        return formatter.get();
    }
};

NumberFormatter::NumberFormatter() : impl_(std::make_unique<Impl>()) {}
NumberFormatter::NumberFormatter(const NumberFormatter& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}
NumberFormatter& NumberFormatter::operator=(const NumberFormatter& other) {
    if (this != &other) impl_ = std::make_unique<Impl>(*other.impl_);
    return *this;
}
NumberFormatter::NumberFormatter(NumberFormatter&&) noexcept = default;
NumberFormatter& NumberFormatter::operator=(NumberFormatter&&) noexcept = default;
NumberFormatter::~NumberFormatter() = default;

NumberFormatterStyle NumberFormatter::numberStyle() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->style;
}

void NumberFormatter::setNumberStyle(NumberFormatterStyle style) {
    std::lock_guard lock(impl_->mutex);
    impl_->style = style;
    impl_->grouping.reset();
    impl_->minimumFractionDigits.reset();
    impl_->maximumFractionDigits.reset();
    impl_->formatter.reset();
}

Locale NumberFormatter::locale() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->locale;
}

void NumberFormatter::setLocale(const Locale& locale) {
    std::lock_guard lock(impl_->mutex);
    impl_->locale = locale;
    impl_->formatter.reset();
}

bool NumberFormatter::usesGroupingSeparator() const {
    std::lock_guard lock(impl_->mutex);
    const icu::NumberFormat* formatter = impl_->icuFormatter();
    return formatter && formatter->isGroupingUsed();
}

void NumberFormatter::setUsesGroupingSeparator(bool uses) {
    std::lock_guard lock(impl_->mutex);
    impl_->grouping = uses;
    impl_->formatter.reset();
}

std::uint64_t NumberFormatter::minimumFractionDigits() const {
    std::lock_guard lock(impl_->mutex);
    const icu::NumberFormat* formatter = impl_->icuFormatter();
    return formatter ? static_cast<std::uint64_t>(formatter->getMinimumFractionDigits()) : 0;
}

void NumberFormatter::setMinimumFractionDigits(std::uint64_t digits) {
    std::lock_guard lock(impl_->mutex);
    impl_->minimumFractionDigits = static_cast<std::int32_t>(std::min<std::uint64_t>(digits, 340));
    impl_->formatter.reset();
}

std::uint64_t NumberFormatter::maximumFractionDigits() const {
    std::lock_guard lock(impl_->mutex);
    const icu::NumberFormat* formatter = impl_->icuFormatter();
    return formatter ? static_cast<std::uint64_t>(formatter->getMaximumFractionDigits()) : 0;
}

void NumberFormatter::setMaximumFractionDigits(std::uint64_t digits) {
    std::lock_guard lock(impl_->mutex);
    impl_->maximumFractionDigits = static_cast<std::int32_t>(std::min<std::uint64_t>(digits, 340));
    impl_->formatter.reset();
}

std::optional<std::string> NumberFormatter::stringFromNumber(const Value& number) const {
    if (!number.isNumber()) return std::nullopt;
    std::lock_guard lock(impl_->mutex);
    const icu::NumberFormat* formatter = impl_->icuFormatter();
    if (!formatter) return std::nullopt;
    icu::UnicodeString text;
    switch (number.kind()) {
        case Value::Kind::Double: formatter->format(number.doubleValue(), text); break;
        case Value::Kind::UInt:
            if (number.uint64Value() > static_cast<std::uint64_t>(INT64_MAX)) {
                formatter->format(static_cast<double>(number.uint64Value()), text);
                break;
            }
            [[fallthrough]];
        default: formatter->format(static_cast<int64_t>(number.int64Value()), text); break;
    }
    return detail::utf8Text(text);
}

std::optional<Value> NumberFormatter::numberFromString(std::string_view text) const {
    std::lock_guard lock(impl_->mutex);
    const icu::NumberFormat* formatter = impl_->icuFormatter();
    if (!formatter || text.empty()) return std::nullopt;
    icu::UnicodeString unicode = detail::unicodeText(text);
    icu::Formattable result;
    icu::ParsePosition position(0);
    formatter->parse(unicode, result, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length()) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    switch (result.getType()) {
        case icu::Formattable::kLong:
        case icu::Formattable::kInt64: return Value(static_cast<std::int64_t>(result.getInt64(status)));
        case icu::Formattable::kDouble: return Value(result.getDouble(status));
        default: return std::nullopt;
    }
}

}  // namespace ql::ns
