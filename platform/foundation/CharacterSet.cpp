#include "platform/foundation/CharacterSet.h"

#include <unicode/uniset.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <string>

#include "platform/foundation/Exception.h"
#include "platform/foundation/UnicodeText.h"

namespace ql::ns {

struct CharacterSet::Storage {
    icu::UnicodeSet set;
};

namespace {

constexpr UChar32 lastCodePoint = 0x10FFFF;

// The code points location ..< location + length, clipped to Unicode; false when nothing is left.
bool codePointBounds(const Range& range, UChar32& first, UChar32& last) {
    if (range.length == 0 || range.location > static_cast<std::uint64_t>(lastCodePoint)) return false;
    first = static_cast<UChar32>(range.location);
    std::uint64_t end = range.end() < range.location ? UINT64_MAX : range.end();  // overflow clamps
    last = static_cast<UChar32>(std::min<std::uint64_t>(end - 1, lastCodePoint));
    return true;
}

}  // namespace

CharacterSet::CharacterSet() : storage_(std::make_shared<const Storage>()) {}

CharacterSet CharacterSet::frozen(std::shared_ptr<Storage> storage) {
    // Frozen sets answer membership faster; mutation works on a thawed copy.
    storage->set.freeze();
    return CharacterSet(std::move(storage));
}

CharacterSet CharacterSet::fromPattern(const char16_t* pattern) {
    UErrorCode status = U_ZERO_ERROR;
    auto storage = std::make_shared<Storage>(Storage{icu::UnicodeSet(icu::UnicodeString(pattern), status)});
    if (U_FAILURE(status))
        throw Exception(InternalInconsistencyException,
                        std::string("bad character set pattern: ") + u_errorName(status));
    return frozen(std::move(storage));
}

CharacterSet CharacterSet::urlComponentSet(std::string_view punctuation) {
    auto storage = std::make_shared<Storage>();
    storage->set.add(u'0', u'9').add(u'A', u'Z').add(u'a', u'z').addAll(detail::unicodeText(punctuation));
    return frozen(std::move(storage));
}

CharacterSet::Storage& CharacterSet::detach() {
    if (storage_.use_count() > 1 || storage_->set.isFrozen()) {
        auto copy = std::make_shared<Storage>();
        copy->set.addAll(storage_->set);
        storage_ = copy;
    }
    return const_cast<Storage&>(*storage_);
}

// Each standard set is built once and then shared by every copy handed out.
#define QL_STANDARD_SET(name, make)                        \
    CharacterSet CharacterSet::name() {                    \
        static const auto& set = *new CharacterSet(make); \
        return set;                                        \
    }

QL_STANDARD_SET(whitespaceCharacterSet, fromPattern(u"[\\p{Zs}\\u0009]"))
QL_STANDARD_SET(whitespaceAndNewlineCharacterSet, fromPattern(u"[\\p{Z}\\u0009-\\u000D\\u0085]"))
QL_STANDARD_SET(newlineCharacterSet, fromPattern(u"[\\u000A-\\u000D\\u0085\\u2028\\u2029]"))
QL_STANDARD_SET(decimalDigitCharacterSet, fromPattern(u"[\\p{Nd}]"))
QL_STANDARD_SET(letterCharacterSet, fromPattern(u"[\\p{L}\\p{M}]"))
QL_STANDARD_SET(alphanumericCharacterSet, fromPattern(u"[\\p{L}\\p{M}\\p{N}]"))
QL_STANDARD_SET(punctuationCharacterSet, fromPattern(u"[\\p{P}]"))
QL_STANDARD_SET(URLUserAllowedCharacterSet, urlComponentSet("!$&'()*+,-.;=_~"))
QL_STANDARD_SET(URLPasswordAllowedCharacterSet, urlComponentSet("!$&'()*+,-.;=_~"))
QL_STANDARD_SET(URLHostAllowedCharacterSet, urlComponentSet("!$&'()*+,-.:;=[]_~"))
QL_STANDARD_SET(URLPathAllowedCharacterSet, urlComponentSet("!$&'()*+,-./:=@_~"))
QL_STANDARD_SET(URLQueryAllowedCharacterSet, urlComponentSet("!$&'()*+,-./:;=?@_~"))
QL_STANDARD_SET(URLFragmentAllowedCharacterSet, urlComponentSet("!$&'()*+,-./:;=?@_~"))

#undef QL_STANDARD_SET

CharacterSet CharacterSet::characterSetWithCharactersInString(std::string_view characters) {
    CharacterSet result;
    result.addCharactersInString(characters);
    return result;
}

CharacterSet CharacterSet::characterSetWithRange(const Range& range) {
    CharacterSet result;
    result.addCharactersInRange(range);
    return result;
}

bool CharacterSet::longCharacterIsMember(char32_t codePoint) const {
    return codePoint <= static_cast<char32_t>(lastCodePoint) && storage_->set.contains(static_cast<UChar32>(codePoint));
}

bool CharacterSet::isEmpty() const { return storage_->set.isEmpty(); }

CharacterSet CharacterSet::invertedSet() const {
    CharacterSet result = *this;
    result.invert();
    return result;
}

void CharacterSet::addCharactersInString(std::string_view characters) {
    detach().set.addAll(detail::unicodeText(characters));
}

void CharacterSet::removeCharactersInString(std::string_view characters) {
    detach().set.removeAll(detail::unicodeText(characters));
}

void CharacterSet::addCharactersInRange(const Range& range) {
    UChar32 first, last;
    if (codePointBounds(range, first, last)) detach().set.add(first, last);
}

void CharacterSet::removeCharactersInRange(const Range& range) {
    UChar32 first, last;
    if (codePointBounds(range, first, last)) detach().set.remove(first, last);
}

void CharacterSet::formUnionWithCharacterSet(const CharacterSet& other) {
    const CharacterSet keep = other;  // `other` may be this very set
    detach().set.addAll(keep.storage_->set);
}

void CharacterSet::formIntersectionWithCharacterSet(const CharacterSet& other) {
    const CharacterSet keep = other;
    detach().set.retainAll(keep.storage_->set);
}

void CharacterSet::invert() { detach().set.complement(); }

bool CharacterSet::operator==(const CharacterSet& other) const { return storage_->set == other.storage_->set; }

}  // namespace ql::ns
