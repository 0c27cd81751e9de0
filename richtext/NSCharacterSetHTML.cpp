#include "richtext/NSCharacterSetHTML.h"

namespace ql {

const ns::CharacterSet& ignorableWhitespaceCharacterSet() {
    static const ns::CharacterSet& set = *new ns::CharacterSet([] {
        ns::CharacterSet ignorable = ns::CharacterSet::whitespaceAndNewlineCharacterSet();
        for (char32_t kept : {U'\u00A0', U'\u1680', U'\u180E', U'\u202F', U'\u205F', U'\u3000', U'\uFEFF'})
            ignorable.removeCharactersInRange({kept, 1});
        ignorable.removeCharactersInRange({0x2000, 0x200B - 0x2000 + 1});
        return ignorable;
    }());
    return set;
}

}  // namespace ql
