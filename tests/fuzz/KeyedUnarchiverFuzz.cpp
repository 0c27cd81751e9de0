// The keyed unarchiver on arbitrary bytes, plain and secure, with a few registered Coding classes to
// reach: it must answer an object or an error, never crash or leak, and whatever it decodes must archive
// again.

#include <cstdint>
#include <cstdlib>

#include "platform/foundation/Coding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace ql::ns;

namespace {

using ql::fuzz::check;

bool holdsObjects(const Value& v) {
    if (v.isObject()) return true;
    if (const Array* a = v.asArray())
        for (const Value& e : *a)
            if (holdsObjects(e)) return true;
    if (const Dictionary* d = v.asDictionary())
        for (const auto& [key, e] : *d)
            if (holdsObjects(e)) return true;
    if (const Set* s = v.asSet())
        for (const Value& e : *s)
            if (holdsObjects(e)) return true;
    return false;
}

// Objects it links to are held weakly and values keep no objects, so hostile cycles cannot leak.
class FuzzNode : public Object, public Coding {
    QL_OBJECT(FuzzNode, Object)
public:
    std::weak_ptr<FuzzNode> link;
    Value payload;
    std::int64_t number = 0;
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(link.lock(), "link");
        coder.encodeObject(payload, "payload");
        coder.encodeInt64(number, "number");
    }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        link = coder.decodeObjectOfClass<FuzzNode>("link");
        payload = coder.decodeObjectForKey("payload");
        if (holdsObjects(payload)) payload = Value();
        number = coder.decodeInt64ForKey("number") + coder.decodeInt32ForKey("small") +
                 static_cast<std::int64_t>(coder.decodeDoubleForKey("real") > 0) + coder.decodeBoolForKey("flag");
        coder.decodeFloatForKey("float");
        coder.decodeBytesForKey("bytes");
        return true;
    }
    bool supportsSecureCoding() const override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const Data data(bytes, size);
    for (bool secure : {false, true}) {
        Error error(std::string(), 0);
        Value root = secure ? KeyedUnarchiver::unarchivedObjectOfClasses(
                                  {&FuzzNode::classObject(), Class::named("NSArray"), Class::named("NSString")}, data,
                                  &error)
                            : KeyedUnarchiver::unarchiveObjectWithData(data, &error);
        if (root.isNil()) continue;
        auto node = root.asObject<FuzzNode>();
        if (!node && holdsObjects(root)) continue;  // objects inside values may hold anything
        check(KeyedArchiver::archivedDataWithRootObject(root, nullptr).has_value());
    }
    return 0;
}
