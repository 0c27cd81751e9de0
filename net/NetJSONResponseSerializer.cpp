#include "net/NetJSONResponseSerializer.h"

#include "net/NetStringEncoding.h"
#include "net/NetStrings.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Text.h"

namespace ql {

namespace {

constexpr std::string_view kReadingOptionsKey = "readingOptions";
constexpr std::string_view kRemovesNullsKey = "removesKeysWithNullValues";

// The body as UTF-8 JSON text; nothing when it is no text in the encoding.
std::optional<ns::Data> utf8Body(const ns::Data& data, std::uint64_t encoding) {
    if (encoding == NetUTF8StringEncoding) {
        if (!ns::isValidUTF8(data.view())) return std::nullopt;
        return data;
    }
    std::optional<std::string> text = NetDecodeText(data, encoding);
    if (!text) return std::nullopt;
    return ns::Data(*text);
}

}  // namespace

NetJSONResponseSerializer::NetJSONResponseSerializer() {
    setAcceptableContentTypes(ContentTypes{"application/json", "text/json", "text/javascript"});
}

std::shared_ptr<NetJSONResponseSerializer> NetJSONResponseSerializer::serializer() {
    return serializerWithReadingOptions(0);
}

std::shared_ptr<NetJSONResponseSerializer> NetJSONResponseSerializer::serializerWithReadingOptions(
    std::uint64_t readingOptions) {
    auto serializer = std::make_shared<NetJSONResponseSerializer>();
    serializer->setReadingOptions(readingOptions);
    return serializer;
}

ns::Value NetJSONResponseSerializer::responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                                               const std::optional<ns::Data>& data,
                                                               std::optional<ns::Error>* error) const {
    if (!validateForParsing(response, data, error)) return ns::Value();
    if (!data) return ns::Value();

    std::uint64_t encoding = stringEncoding();
    if (response && response->textEncodingName()) {
        if (auto named = NetStringEncodingForIANACharsetName(*response->textEncodingName())) encoding = *named;
    }
    if (data->empty() || data->view() == " ") return ns::Value();  // an empty reply, or one space for one
    const std::optional<ns::Data> json = utf8Body(*data, encoding);
    std::optional<ns::Error> failure;
    ns::Value object;
    if (!json) {
        // Bytes that are no text (a compressed or binary body, a wrong charset) are a failure, never an
        // empty success.
        failure = NetResponseSerializationError(NetURLErrorCannotDecodeContentData,
                                                NetLocalizedString("Data failed decoding as a UTF-8 string"), response,
                                                data);
    } else {
        ns::Error parseError(std::string(ns::CocoaErrorDomain), ns::PropertyListReadCorruptError);
        object = ns::JSONSerialization::JSONObjectWithData(*json, static_cast<unsigned>(readingOptions_), &parseError);
        if (object.isNil()) failure = std::move(parseError);
    }
    if (removesKeysWithNullValues_ && !object.isNil()) object = NetJSONObjectWithoutNulls(object, readingOptions_);
    if (error) *error = NetErrorAddingUnderlyingError(failure, *error);
    return object;
}

ns::Value NetJSONObjectWithoutNulls(const ns::Value& object, std::uint64_t readingOptions) {
    const bool mutableContainers = readingOptions & ns::JSONReadingMutableContainers;
    if (const ns::Array* array = object.asArray()) {
        ns::Array cleaned;
        cleaned.reserve(array->size());
        for (const ns::Value& element : *array) cleaned.push_back(NetJSONObjectWithoutNulls(element, readingOptions));
        return mutableContainers ? ns::Value::mutableArray(std::move(cleaned)) : ns::Value(std::move(cleaned));
    }
    if (const ns::Dictionary* dictionary = object.asDictionary()) {
        ns::Dictionary cleaned;
        cleaned.reserve(dictionary->size());
        for (const auto& [key, value] : *dictionary) {
            if (value.isNull()) continue;
            cleaned.appendUnsorted(key, NetJSONObjectWithoutNulls(value, readingOptions));
        }
        cleaned.finishAppending();
        return mutableContainers ? ns::Value::mutableDictionary(std::move(cleaned)) : ns::Value(std::move(cleaned));
    }
    return object;
}

void NetJSONResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    NetHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(ns::Value(readingOptions_), kReadingOptionsKey);
    coder.encodeObject(ns::Value(removesKeysWithNullValues_), kRemovesNullsKey);
}

bool NetJSONResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!NetHTTPResponseSerializer::initWithCoder(coder)) return false;
    const ns::Class& number = *ns::Class::named("NSNumber");
    readingOptions_ = coder.decodeObjectOfClass(number, kReadingOptionsKey).uint64Value();
    removesKeysWithNullValues_ = coder.decodeObjectOfClass(number, kRemovesNullsKey).boolValue();
    return true;
}

std::shared_ptr<ns::Object> NetJSONResponseSerializer::copy() const {
    auto made = makeSameClass<NetJSONResponseSerializer>();
    if (!made) return nullptr;
    made->readingOptions_ = readingOptions_;
    made->removesKeysWithNullValues_ = removesKeysWithNullValues_;
    return made;
}

}  // namespace ql
