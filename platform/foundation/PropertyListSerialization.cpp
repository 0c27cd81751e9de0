#include "platform/foundation/PropertyListSerialization.h"

#include <string>

#include "platform/foundation/BinaryPropertyList.h"
#include "platform/foundation/Class.h"
#include "platform/foundation/PropertyListUID.h"
#include "platform/foundation/XMLPropertyList.h"

namespace ql::ns {

namespace {

Error makeError(std::int64_t code, std::string debugDescription) {
    return Error(std::string(CocoaErrorDomain), code,
                 Dictionary{{std::string(DebugDescriptionErrorKey), Value(std::move(debugDescription))}});
}

std::string typeName(const Value& v) {
    if (v.isNil()) return "nil";
    return std::string(v.valueClass()->name());
}

// Why a value cannot be written in a format; nothing when it can.
std::optional<std::string> invalidity(const Value& v, PropertyListFormat format, std::size_t depth) {
    const bool openStep = format == PropertyListFormat::OpenStep;
    const bool xml = format == PropertyListFormat::XML;
    switch (v.kind()) {
        case Value::Kind::String:
            if (xml && !detail::isXMLText(v.asString())) return "text that XML cannot carry";
            return std::nullopt;
        case Value::Kind::Data: return std::nullopt;
        case Value::Kind::Bool:
        case Value::Kind::Int:
        case Value::Kind::UInt:
        case Value::Kind::Double:
            if (openStep) break;
            return std::nullopt;
        case Value::Kind::Date:
            if (openStep) break;
            if (xml && !detail::isXMLDate(*v.asDate())) return "date outside the years 0 to 9999";
            return std::nullopt;
        case Value::Kind::Array:
        case Value::Kind::Dictionary: {
            if (depth >= PropertyListSerialization::kMaxDepth) return "containers nested too deeply";
            if (const Array* a = v.asArray()) {
                for (const Value& element : *a)
                    if (auto reason = invalidity(element, format, depth + 1)) return reason;
                return std::nullopt;
            }
            for (const auto& [key, entry] : *v.asDictionary()) {
                if (xml && !detail::isXMLText(key)) return "key that XML cannot carry";
                if (auto reason = invalidity(entry, format, depth + 1)) return reason;
            }
            return std::nullopt;
        }
        case Value::Kind::Object:
            if (!openStep && v.asObject<PropertyListUID>()) return std::nullopt;
            break;
        default: break;
    }
    return "property lists cannot contain objects of type '" + typeName(v) + "'";
}

std::string formatName(PropertyListFormat format) { return std::to_string(static_cast<int>(format)); }

}  // namespace

bool PropertyListSerialization::propertyListIsValidForFormat(const Value& plist, PropertyListFormat format) {
    if (format != PropertyListFormat::OpenStep && format != PropertyListFormat::XML &&
        format != PropertyListFormat::Binary)
        return false;
    return !invalidity(plist, format, 0);
}

std::optional<Data> PropertyListSerialization::dataWithPropertyList(const Value& plist, PropertyListFormat format,
                                                                    Error* error) {
    std::optional<std::string> reason;
    if (format == PropertyListFormat::XML || format == PropertyListFormat::Binary) {
        reason = invalidity(plist, format, 0);
    } else {
        reason = "format not supported for writing";
    }
    if (reason) {
        if (error) *error = makeError(PropertyListWriteInvalidError,
                                      "Property list invalid for format: " + formatName(format) + " (" + *reason + ")");
        return std::nullopt;
    }
    if (format == PropertyListFormat::Binary) return detail::writeBinaryPropertyList(plist);
    return Data(detail::writeXMLPropertyList(plist));
}

Value PropertyListSerialization::propertyListWithData(const Data& data, unsigned options,
                                                      PropertyListFormat* formatOut, Error* error) {
    std::string failure;
    Value plist;
    PropertyListFormat format = PropertyListFormat::XML;
    if (data.empty()) {
        failure = "Cannot parse a NULL or zero-length data";
    } else if (data.view().starts_with(detail::kBinaryPropertyListMagic)) {
        format = PropertyListFormat::Binary;
        plist = detail::readBinaryPropertyList(data.span(), options, failure);
    } else if (data.view().starts_with("bplist")) {
        failure = "Unsupported binary property list version";
    } else {
        plist = detail::readXMLPropertyList(data.span(), options, failure);
    }
    if (plist.isNil()) {
        if (error) *error = makeError(PropertyListReadCorruptError, failure);
        return {};
    }
    if (formatOut) *formatOut = format;
    return plist;
}

}  // namespace ql::ns
