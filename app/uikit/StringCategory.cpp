#include "app/uikit/StringCategory.h"

#include <algorithm>
#include <vector>

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
    // The characters are found in one walk over the text: a plain space is a character that is " " alone.
    const std::vector<std::string_view> characters = ns::composedCharacterSequences(text);
    std::size_t first = 0, last = characters.size();
    while (first < last && characters[first] == " ") ++first;
    while (last > first && characters[last - 1] == " ") --last;
    std::string result;
    if (first < last) {
        const char* begin = characters[first].data();
        result.assign(begin, static_cast<std::size_t>(characters[last - 1].data() + characters[last - 1].size() - begin));
    }
    ns::Log::write(result);
    return result;
}

}  // namespace ql
