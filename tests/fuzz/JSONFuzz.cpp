// The JSON reader on arbitrary bytes: it must answer a value or a read error, never crash; the grammar check
// that explains refusals must agree with it on every UTF-8 text; and a value it reads must write (compact
// and pretty) and read back equal. Writing is stable from the second round on: the first may turn a real
// into an integer of the same value (-0.0 is written "-0", which reads as the integer 0).

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/JSONSyntax.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql::ns;

namespace {

using ql::fuzz::check;

// Texts the reader takes as UTF-8 as they are: no byte-order mark and no zero byte among the first two.
bool readAsPlainUtf8(std::string_view text) {
    if (text.size() >= 2 && (text[0] == 0 || text[1] == 0)) return false;
    return !text.starts_with("\xef\xbb\xbf") && !text.starts_with("\xfe\xff") && !text.starts_with("\xff\xfe");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    const unsigned readFragments = JSONReadingFragmentsAllowed;
    const unsigned writeFragments = JSONWritingFragmentsAllowed;

    Error error(std::string(), 0);
    Value value = JSONSerialization::JSONObjectWithData(text, readFragments, &error);
    if (readAsPlainUtf8(text)) check(firstJSONSyntaxError(text, true).has_value() == value.isNil());
    if (value.isNil()) {
        check(error.domain() == CocoaErrorDomain && error.code() == PropertyListReadCorruptError);
        check(!error.userInfo()[DebugDescriptionErrorKey].asString().empty());
        return 0;
    }
    // Without fragments, only a container at the top is read; with them, the same value is.
    Value strict = JSONSerialization::JSONObjectWithData(text, 0, nullptr);
    check(strict.isNil() != (value.isArray() || value.isDictionary()));
    check(JSONSerialization::isValidJSONObject(value) == (value.isArray() || value.isDictionary()));

    auto compact = JSONSerialization::dataWithJSONObject(value, writeFragments, nullptr);
    auto pretty = JSONSerialization::dataWithJSONObject(value, writeFragments | JSONWritingPrettyPrinted, nullptr);
    check(compact.has_value() && pretty.has_value());
    Value back = JSONSerialization::JSONObjectWithData(*compact, readFragments, nullptr);
    check(!back.isNil() && back == value);
    check(JSONSerialization::JSONObjectWithData(*pretty, readFragments, nullptr) == value);
    auto second = JSONSerialization::dataWithJSONObject(back, writeFragments, nullptr);
    check(second.has_value());
    Value again = JSONSerialization::JSONObjectWithData(*second, readFragments, nullptr);
    check(again == value);
    auto third = JSONSerialization::dataWithJSONObject(again, writeFragments, nullptr);
    check(third.has_value() && *third == *second);
    return 0;
}
