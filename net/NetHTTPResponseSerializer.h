#pragma once
// NetHTTPResponseSerializer: accepts or refuses a reply by its status code and MIME type and hands its
// body back unchanged. The JSON, property-list, image and compound serializers derive from it and add a
// parser; they all share its validation and its error texts.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "net/NetURLResponseSerialization.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"

namespace ql {

// An error of the response-serialization domain about a reply: the reply's URL, the reply and the body ride
// along in its user information when there are any.
ns::Error NetResponseSerializationError(std::int64_t code, std::string description,
                                        const std::shared_ptr<ns::URLResponse>& response,
                                        const std::optional<ns::Data>& data);

class NetHTTPResponseSerializer : public ns::Object, public NetURLResponseSerialization, public ns::Coding {
    QL_OBJECT(NetHTTPResponseSerializer, ns::Object)
public:
    using StatusCodes = std::set<std::int64_t>;
    using ContentTypes = std::set<std::string, std::less<>>;

    // UTF-8, status codes 200 to 299, any MIME type.
    NetHTTPResponseSerializer();
    static std::shared_ptr<NetHTTPResponseSerializer> serializer();

    std::uint64_t stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(std::uint64_t encoding) { stringEncoding_ = encoding; }
    // Absent: every status code, or every MIME type, is acceptable.
    const std::optional<StatusCodes>& acceptableStatusCodes() const { return acceptableStatusCodes_; }
    void setAcceptableStatusCodes(std::optional<StatusCodes> codes) { acceptableStatusCodes_ = std::move(codes); }
    const std::optional<ContentTypes>& acceptableContentTypes() const { return acceptableContentTypes_; }
    void setAcceptableContentTypes(std::optional<ContentTypes> types) { acceptableContentTypes_ = std::move(types); }

    // Whether an HTTP reply has an acceptable MIME type and status code (any other reply, or none, is
    // valid). A refused reply stores its error when `error` is given: −1011 for the status, with the
    // −1016 content-type error beneath it when both fail. A wrong MIME type with an empty body makes no
    // error.
    bool validateResponse(const std::shared_ptr<ns::URLResponse>& response, const std::optional<ns::Data>& data,
                          std::optional<ns::Error>* error) const;

    // The data, valid or not, with the validation error.
    ns::Value responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                        const std::optional<ns::Data>& data,
                                        std::optional<ns::Error>* error) const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    std::shared_ptr<ns::Object> copy() const override;

protected:
    // Validates, and says whether a parser should go on: it stops when the reply is refused and the
    // caller cannot learn why, or when the body is of a type it must not read. The validation error, if
    // any, is left in `error`.
    bool validateForParsing(const std::shared_ptr<ns::URLResponse>& response, const std::optional<ns::Data>& data,
                            std::optional<ns::Error>* error) const;
    // A new serializer of the receiver's own class, made with its defaults (nullptr for classes that
    // cannot be made by name).
    template <class T>
    std::shared_ptr<T> makeSameClass() const {
        return std::dynamic_pointer_cast<T>(objectClass().createInstance());
    }

private:
    std::uint64_t stringEncoding_;
    std::optional<StatusCodes> acceptableStatusCodes_;
    std::optional<ContentTypes> acceptableContentTypes_;
};

}  // namespace ql
