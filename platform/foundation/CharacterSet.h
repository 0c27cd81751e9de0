#pragma once
// ns::CharacterSet: a set of Unicode code points, for trimming, scanning and percent-escaping. It offers
// the platform's standard sets (white space, digits, letters, the URL component sets, …), sets made from
// the characters of a text, and the mutations the platform's mutable set has. Copies share storage until
// one of them is changed.

#include <memory>
#include <string_view>

#include "platform/foundation/Range.h"

namespace ql::ns {

class CharacterSet {
public:
    CharacterSet();  // empty

    // Unicode category Zs and tab.
    static CharacterSet whitespaceCharacterSet();
    // Categories Z*, tab, U+000A–U+000D and U+0085.
    static CharacterSet whitespaceAndNewlineCharacterSet();
    // U+000A–U+000D, U+0085, U+2028 and U+2029.
    static CharacterSet newlineCharacterSet();
    // Category Nd.
    static CharacterSet decimalDigitCharacterSet();
    // Categories L* and M*.
    static CharacterSet letterCharacterSet();
    // Categories L*, M* and N*.
    static CharacterSet alphanumericCharacterSet();
    // Category P*.
    static CharacterSet punctuationCharacterSet();

    // What each URL component may hold unescaped: the ASCII letters and digits plus
    //   user, password  !$&'()*+,-.;=_~
    //   host            !$&'()*+,-.:;=[]_~
    //   path            !$&'()*+,-./:=@_~     (";" is escaped, as the platform does)
    //   query, fragment !$&'()*+,-./:;=?@_~
    static CharacterSet URLUserAllowedCharacterSet();
    static CharacterSet URLPasswordAllowedCharacterSet();
    static CharacterSet URLHostAllowedCharacterSet();
    static CharacterSet URLPathAllowedCharacterSet();
    static CharacterSet URLQueryAllowedCharacterSet();
    static CharacterSet URLFragmentAllowedCharacterSet();

    // The code points of a UTF-8 text.
    static CharacterSet characterSetWithCharactersInString(std::string_view characters);
    // Code points location ..< location + length.
    static CharacterSet characterSetWithRange(const Range& range);

    bool longCharacterIsMember(char32_t codePoint) const;
    // A UTF-16 unit taken as a code point on its own.
    bool characterIsMember(char16_t unit) const { return longCharacterIsMember(unit); }
    bool isEmpty() const;

    CharacterSet invertedSet() const;

    void addCharactersInString(std::string_view characters);
    void removeCharactersInString(std::string_view characters);
    void addCharactersInRange(const Range& range);
    void removeCharactersInRange(const Range& range);
    void formUnionWithCharacterSet(const CharacterSet& other);
    void formIntersectionWithCharacterSet(const CharacterSet& other);
    void invert();

    bool operator==(const CharacterSet& other) const;

private:
    struct Storage;
    explicit CharacterSet(std::shared_ptr<const Storage> storage) : storage_(std::move(storage)) {}
    static CharacterSet frozen(std::shared_ptr<Storage> storage);
    static CharacterSet fromPattern(const char16_t* pattern);
    // The ASCII letters and digits plus the given punctuation.
    static CharacterSet urlComponentSet(std::string_view punctuation);
    Storage& detach();

    std::shared_ptr<const Storage> storage_;
};

}  // namespace ql::ns
