#include "platform/foundation/Error.h"

#include "platform/foundation/Object.h"

namespace ql::ns {

namespace {

// How an error travels inside a Value: the platform's error object.
class ErrorBox final : public Object {
public:
    explicit ErrorBox(Error error) : error(std::move(error)) {}
    static const Class& classObject() {
        static const Class& cls = *new Class("NSError", &Object::classObject());
        return cls;
    }
    const Class& objectClass() const override { return classObject(); }
    std::string description() const override { return error.description(); }
    bool isEqual(const Object& other) const override {
        auto* box = dynamic_cast<const ErrorBox*>(&other);
        return box && box->error == error;
    }
    Error error;
};

const bool errorClassRegistered = (Class::registerClass(ErrorBox::classObject()), true);

}  // namespace

namespace {

// The platform's own wording for the Cocoa errors that readers and archivers report.
std::optional<std::string> cocoaDescription(std::int64_t code) {
    switch (code) {
        case 3840:  // property list or JSON unreadable
        case 4864:  // archive unreadable
            return "The data couldn\u2019t be read because it isn\u2019t in the correct format.";
        case 3852:  // property list or JSON unwritable
            return "The data couldn\u2019t be written because it isn\u2019t in the correct format.";
        case 4865:  // archive value missing
            return "The data couldn\u2019t be read because it is missing.";
        default: return std::nullopt;
    }
}

}  // namespace

std::string Error::localizedDescription() const {
    if (const Value* d = userInfo_.find(LocalizedDescriptionKey); d && d->isString()) return std::string(d->asString());
    if (domain_ == CocoaErrorDomain) {
        if (auto text = cocoaDescription(code_)) return *text;
    }
    if (auto reason = localizedFailureReason()) return "The operation couldn\u2019t be completed. " + *reason;
    return "The operation couldn\u2019t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::optional<std::string> Error::localizedFailureReason() const {
    if (const Value* r = userInfo_.find(LocalizedFailureReasonErrorKey); r && r->isString())
        return std::string(r->asString());
    return std::nullopt;
}

std::string Error::description() const {
    std::string out = "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() +
                      "\" UserInfo={";
    bool first = true;
    for (const auto& [key, value] : userInfo_) {
        if (!first) out += ", ";
        first = false;
        out += key + "=" + value.description();
    }
    out += "}";
    return out;
}

Value Error::boxed() const {
    (void)errorClassRegistered;
    return Value(std::make_shared<ErrorBox>(*this));
}

std::optional<Error> Error::fromValue(const Value& value) {
    if (auto box = value.asObject<ErrorBox>()) return box->error;
    return std::nullopt;
}

bool Error::operator==(const Error& other) const {
    return code_ == other.code_ && domain_ == other.domain_ && userInfo_ == other.userInfo_;
}

}  // namespace ql::ns
