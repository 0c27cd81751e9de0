#include "app/uikit/StringCategory.h"

#include <algorithm>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace ql {

bool isMobileNumber(std::string_view text) {
    if (text.size() != 11 || text.front() != '1') return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string trim(std::string_view text) {
    return ns::stringByTrimmingCharactersInSet(text, ns::CharacterSet::whitespaceAndNewlineCharacterSet());
}

std::string replaceHomeAndEndWhiteCharter(std::string_view text) {
    std::string result(text);
    auto isPlainSpace = [&](std::uint64_t index) {
        const ns::Range character = ns::rangeOfComposedCharacterSequenceAtIndex(result, index);
        return character.length == 1 && ns::characterAtIndex(result, index) == u' ';
    };
    // Spaces are one byte and one UTF-16 unit, so byte and unit positions agree while removing them.
    while (!result.empty() && isPlainSpace(0)) result.erase(0, 1);
    while (!result.empty() && isPlainSpace(ns::utf16Length(result) - 1)) result.pop_back();
    ns::Log::write(result);
    return result;
}

}  // namespace ql
