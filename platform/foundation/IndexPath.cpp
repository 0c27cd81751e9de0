#include "platform/foundation/IndexPath.h"

#include <memory>

#include "platform/foundation/Class.h"
#include "platform/foundation/Object.h"

namespace ql::ns {

namespace {

// How an index path travels inside a Value: the platform's index path object.
class IndexPathBox final : public Object {
public:
    explicit IndexPathBox(IndexPath path) : path(path) {}
    static const Class& classObject() {
        static const Class& cls = *new Class("NSIndexPath", &Object::classObject());
        return cls;
    }
    const Class& objectClass() const override { return classObject(); }
    std::string description() const override {
        return "<NSIndexPath: " + addressText(this) + "> " + path.description();
    }
    bool isEqual(const Object& other) const override {
        auto* box = dynamic_cast<const IndexPathBox*>(&other);
        return box && box->path == path;
    }
    std::shared_ptr<Object> copy() const override { return std::make_shared<IndexPathBox>(path); }
    IndexPath path;
};

const bool indexPathClassRegistered = (Class::registerClass(IndexPathBox::classObject()), true);

}  // namespace

std::string IndexPath::description() const {
    return "{length = 2, path = " + std::to_string(section_) + " - " + std::to_string(row_) + "}";
}

Value IndexPath::boxed() const {
    (void)indexPathClassRegistered;
    return Value(std::make_shared<IndexPathBox>(*this));
}

std::optional<IndexPath> IndexPath::fromValue(const Value& value) {
    if (auto box = value.asObject<IndexPathBox>()) return box->path;
    return std::nullopt;
}

}  // namespace ql::ns
