#include "platform/text/AttributedString.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"

namespace ql::ct {

namespace {

// Texts without attributes all share this one.
const std::shared_ptr<const ns::Dictionary>& noAttributes() {
    static const auto& none = *new std::shared_ptr<const ns::Dictionary>(std::make_shared<const ns::Dictionary>());
    return none;
}

std::shared_ptr<const ns::Dictionary> shared(ns::Dictionary attributes) {
    if (attributes.empty()) return noAttributes();
    return std::make_shared<const ns::Dictionary>(std::move(attributes));
}

}  // namespace

AttributedString::AttributedString(std::string_view text, ns::Dictionary attributes)
    : AttributedString(ns::toUTF16(text), std::move(attributes)) {}

AttributedString::AttributedString(std::u16string text, ns::Dictionary attributes) : text_(std::move(text)) {
    if (!text_.empty()) runs_.push_back({0, shared(std::move(attributes))});
}

AttributedString::AttributedString(std::string_view text, std::shared_ptr<const ns::Dictionary> attributes)
    : AttributedString(ns::toUTF16(text), std::move(attributes)) {}

AttributedString::AttributedString(std::u16string text, std::shared_ptr<const ns::Dictionary> attributes)
    : text_(std::move(text)) {
    if (!text_.empty()) runs_.push_back({0, attributes ? std::move(attributes) : noAttributes()});
}

std::string AttributedString::string() const { return ns::fromUTF16(text_); }

void AttributedString::checkRange(ns::Range range) const {
    if (range.location > text_.size() || range.length > text_.size() - range.location)
        throw ns::Exception(ns::RangeException, "Range " + range.description() + " out of bounds; string length " +
                                                    std::to_string(text_.size()));
}

std::size_t AttributedString::runIndexAt(std::uint64_t index) const {
    // A text being built is read and changed mostly near its end: the last few runs are looked at first.
    constexpr std::size_t Near = 8;
    const std::size_t count = runs_.size();
    for (std::size_t run = count; run > 0 && run + Near > count;)
        if (runs_[--run].location <= index) return run;
    auto after = std::upper_bound(runs_.begin(), runs_.begin() + static_cast<std::ptrdiff_t>(count - std::min(count, Near)), index,
                                  [](std::uint64_t i, const Run& run) { return i < run.location; });
    return static_cast<std::size_t>(after - runs_.begin()) - 1;
}

std::uint64_t AttributedString::runEnd(std::size_t run) const {
    return run + 1 < runs_.size() ? runs_[run + 1].location : text_.size();
}

const ns::Dictionary& AttributedString::attributesAtIndex(std::uint64_t index, ns::Range* effectiveRange) const {
    if (index >= text_.size())
        throw ns::Exception(ns::RangeException, "Index " + std::to_string(index) + " out of bounds; string length " +
                                                    std::to_string(text_.size()));
    const std::size_t run = runIndexAt(index);
    if (effectiveRange) *effectiveRange = {runs_[run].location, runEnd(run) - runs_[run].location};
    return *runs_[run].attributes;
}

ns::Value AttributedString::attributeAtIndex(std::string_view name, std::uint64_t index, ns::Range* effectiveRange) const {
    const ns::Value value = attributesAtIndex(index)[name];
    if (effectiveRange) {
        std::size_t first = runIndexAt(index);
        std::size_t last = first;
        while (first > 0 && (*runs_[first - 1].attributes)[name] == value) --first;
        while (last + 1 < runs_.size() && (*runs_[last + 1].attributes)[name] == value) ++last;
        *effectiveRange = {runs_[first].location, runEnd(last) - runs_[first].location};
    }
    return value;
}

void AttributedString::enumerateAttributes(
    ns::Range range, const std::function<void(const ns::Dictionary&, ns::Range, bool& stop)>& block) const {
    checkRange(range);
    if (range.length == 0) return;
    bool stop = false;
    for (std::size_t run = runIndexAt(range.location); run < runs_.size() && runs_[run].location < range.end(); ++run) {
        const std::uint64_t begin = std::max(runs_[run].location, range.location);
        const std::uint64_t end = std::min(runEnd(run), range.end());
        block(*runs_[run].attributes, {begin, end - begin}, stop);
        if (stop) return;
    }
}

void AttributedString::enumerateAttribute(
    std::string_view name, ns::Range range, const std::function<void(const ns::Value&, ns::Range, bool& stop)>& block) const {
    ns::Value current;
    ns::Range pending{range.location, 0};
    bool stop = false;
    enumerateAttributes(range, [&](const ns::Dictionary& attributes, ns::Range piece, bool& stopRuns) {
        const ns::Value& value = attributes[name];
        if (pending.length > 0 && value == current) {
            pending.length += piece.length;
            return;
        }
        if (pending.length > 0) block(current, pending, stop);
        if (stop) {
            stopRuns = true;
            return;
        }
        current = value;
        pending = piece;
    });
    if (!stop && pending.length > 0) block(current, pending, stop);
}

AttributedString AttributedString::attributedSubstringFromRange(ns::Range range) const {
    checkRange(range);
    AttributedString result;
    result.text_ = text_.substr(range.location, range.length);
    if (range.length == 0) return result;
    for (std::size_t run = runIndexAt(range.location); run < runs_.size() && runs_[run].location < range.end(); ++run)
        result.runs_.push_back({std::max(runs_[run].location, range.location) - range.location, runs_[run].attributes});
    return result;
}

std::size_t AttributedString::splitAt(std::uint64_t index) {
    if (index >= text_.size()) return runs_.size();
    const std::size_t run = runIndexAt(index);
    if (runs_[run].location == index) return run;
    runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(run) + 1, Run{index, runs_[run].attributes});
    return run + 1;
}

void AttributedString::coalesce(std::size_t first, std::size_t last) {
    if (runs_.empty()) return;
    last = std::min(last, runs_.size() - 1);
    for (std::size_t run = last; run > first; --run)
        if (sameAttributes(runs_[run].attributes, runs_[run - 1].attributes))
            runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(run));
}

void AttributedString::replaceCharactersInRange(ns::Range range, std::string_view text) {
    checkRange(range);
    // Text put in after a character, replacing nothing, joins that character's run: it goes in place,
    // with no runs made for it (paragraph ends are added so, one per paragraph).
    if (range.length == 0 && range.location > 0) {
        const std::u16string units = ns::toUTF16(text);
        if (units.empty()) return;
        // At the end the last run grows, and no run follows to move or to join.
        if (range.location == text_.size()) {
            text_.append(units);
            return;
        }
        const std::size_t run = runIndexAt(range.location - 1);
        text_.insert(range.location, units);
        for (std::size_t next = run + 1; next < runs_.size(); ++next) runs_[next].location += units.size();
        coalesce(run, run + 1);
        return;
    }
    SharedAttributes attributes;
    if (range.length > 0)
        attributes = runs_[runIndexAt(range.location)].attributes;
    else if (range.location > 0)
        attributes = runs_[runIndexAt(range.location - 1)].attributes;
    else if (!text_.empty())
        attributes = runs_.front().attributes;
    replaceCharactersInRange(range, AttributedString(text, std::move(attributes)));
}

void AttributedString::replaceCharactersInRange(ns::Range range, const AttributedString& replacement) {
    // The runs are changed before the replacement's are read: a string put into itself goes in as a copy.
    if (&replacement == this) return replaceCharactersInRange(range, AttributedString(replacement));
    checkRange(range);
    const std::size_t first = splitAt(range.location);
    const std::size_t past = splitAt(range.end());
    runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(first), runs_.begin() + static_cast<std::ptrdiff_t>(past));
    for (std::size_t run = first; run < runs_.size(); ++run)
        runs_[run].location = runs_[run].location - range.length + replacement.length();
    auto inserted = replacement.runs_;
    for (Run& run : inserted) run.location += range.location;
    // Room grows by doubling, as it does run by run: text put in piece after piece costs linear time.
    if (const std::size_t needed = runs_.size() + inserted.size(); needed > runs_.capacity())
        runs_.reserve(std::max(needed, 2 * runs_.capacity()));
    runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(first), std::make_move_iterator(inserted.begin()),
                 std::make_move_iterator(inserted.end()));
    text_.replace(range.location, range.length, replacement.text_);
    coalesce(first > 0 ? first - 1 : 0, first + inserted.size());
}

void AttributedString::deleteCharactersInRange(ns::Range range) { replaceCharactersInRange(range, AttributedString()); }

void AttributedString::insertAttributedString(const AttributedString& string, std::uint64_t index) {
    replaceCharactersInRange({index, 0}, string);
}

void AttributedString::appendAttributedString(const AttributedString& string) {
    replaceCharactersInRange({text_.size(), 0}, string);
}

void AttributedString::appendAttributedString(AttributedString&& string) {
    if (&string == this) return appendAttributedString(static_cast<const AttributedString&>(string));
    if (string.empty()) return;
    if (empty()) {
        text_ = std::move(string.text_);
        runs_ = std::move(string.runs_);
        string.text_.clear();
        return;
    }
    const std::size_t first = runs_.size();
    const std::uint64_t offset = text_.size();
    for (Run& run : string.runs_) runs_.push_back(Run{run.location + offset, std::move(run.attributes)});
    text_ += string.text_;
    string.text_.clear();
    string.runs_.clear();
    // The appended runs are merged among themselves already; only the seam can join.
    if (first > 0) coalesce(first - 1, first);
}

void AttributedString::appendText(std::string_view text, std::shared_ptr<const ns::Dictionary> attributes) {
    const std::size_t at = text_.size();
    // Decoded straight into the text: no string of its own to be copied in.
    ns::appendUTF16(text_, text);
    if (text_.size() == at) return;
    if (!attributes) attributes = noAttributes();
    // Runs stay merged: text in the attributes of the last run joins it.
    if (runs_.empty() || !sameAttributes(runs_.back().attributes, attributes)) runs_.push_back({at, std::move(attributes)});
}

template <class Change>
void AttributedString::changeAttributes(ns::Range range, Change&& change) {
    checkRange(range);
    if (range.length == 0) return;
    const std::size_t first = splitAt(range.location);
    const std::size_t past = splitAt(range.end());
    for (std::size_t run = first; run < past; ++run) {
        ns::Dictionary changed = *runs_[run].attributes;
        change(changed);
        runs_[run].attributes = shared(std::move(changed));
    }
    coalesce(first > 0 ? first - 1 : 0, past);
}

void AttributedString::setAttributes(const ns::Dictionary& attributes, ns::Range range) {
    checkRange(range);
    if (range.length == 0) return;
    const std::size_t first = splitAt(range.location);
    const std::size_t past = splitAt(range.end());
    const SharedAttributes replacement = shared(attributes);
    for (std::size_t run = first; run < past; ++run) runs_[run].attributes = replacement;
    coalesce(first > 0 ? first - 1 : 0, past);
}

void AttributedString::addAttribute(std::string_view name, const ns::Value& value, ns::Range range) {
    changeAttributes(range, [&](ns::Dictionary& run) { run.set(name, value); });
}

void AttributedString::addAttributes(const ns::Dictionary& attributes, ns::Range range) {
    changeAttributes(range, [&](ns::Dictionary& run) {
        for (const auto& [name, value] : attributes) run.set(name, value);
    });
}

void AttributedString::removeAttribute(std::string_view name, ns::Range range) {
    changeAttributes(range, [&](ns::Dictionary& run) { run.erase(name); });
}

bool AttributedString::operator==(const AttributedString& other) const {
    if (text_ != other.text_ || runs_.size() != other.runs_.size()) return false;
    for (std::size_t run = 0; run < runs_.size(); ++run)
        if (runs_[run].location != other.runs_[run].location || !sameAttributes(runs_[run].attributes, other.runs_[run].attributes))
            return false;
    return true;
}

std::string AttributedString::description() const {
    std::string out;
    for (std::size_t run = 0; run < runs_.size(); ++run) {
        out += ns::fromUTF16(std::u16string_view(text_).substr(runs_[run].location, runEnd(run) - runs_[run].location));
        out += ns::Value(*runs_[run].attributes).description();
    }
    return out;
}

}  // namespace ql::ct
