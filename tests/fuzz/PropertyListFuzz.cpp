// The property-list reader on arbitrary bytes: it must answer a value or a read error, never crash, and a
// value it reads must write in each format it is valid for and read back to the same bytes once written.

#include <cstdint>
#include <cstdlib>

#include "platform/foundation/PropertyListSerialization.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql::ns;

namespace {

using ql::fuzz::check;

// Written once, read and written again: the second writing must equal the first.
void expectStableRoundTrip(const Value& plist, PropertyListFormat format) {
    auto first = PropertyListSerialization::dataWithPropertyList(plist, format, nullptr);
    check(first.has_value());
    PropertyListFormat detected = PropertyListFormat::OpenStep;
    Value back = PropertyListSerialization::propertyListWithData(*first, 0, &detected, nullptr);
    check(!back.isNil() && detected == format);
    auto second = PropertyListSerialization::dataWithPropertyList(back, format, nullptr);
    check(second.has_value() && *second == *first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    Error error(std::string(), 0);
    Value plist = PropertyListSerialization::propertyListWithData(Data(bytes, size), 0, nullptr, &error);
    if (plist.isNil()) {
        check(error.domain() == CocoaErrorDomain && error.code() == PropertyListReadCorruptError);
        return 0;
    }
    // Everything read is within the nesting cap and of property-list kinds, so binary always holds it.
    check(PropertyListSerialization::propertyListIsValidForFormat(plist, PropertyListFormat::Binary));
    expectStableRoundTrip(plist, PropertyListFormat::Binary);
    if (PropertyListSerialization::propertyListIsValidForFormat(plist, PropertyListFormat::XML))
        expectStableRoundTrip(plist, PropertyListFormat::XML);
    return 0;
}
