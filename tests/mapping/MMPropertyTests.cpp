#include <gtest/gtest.h>

#include "mapping/MMFoundation.h"
#include "mapping/MMProperty.h"
#include "mapping/MMPropertyType.h"

using namespace ql;
using ns::Value;

namespace {

class Gadget : public ns::Object {
    QL_OBJECT(Gadget, ns::Object)
    QL_PROPERTY(std::int64_t, uid)
    QL_PROPERTY(std::string, name)
    QL_PROPERTY(Value, selector, "T:,N,V_selector")
};

const ns::Class& named(const char* name) { return *ns::Class::named(name); }

std::string describe(const MMKeyPath& path) {
    std::string out;
    for (const auto& key : path)
        out += (key.type() == MMPropertyKey::Type::Dictionary ? "key " : "index ") + key.name() + ";";
    return out;
}

}  // namespace

TEST(MMFoundation, TellsValueClassesFromModels) {
    EXPECT_EQ(MMFoundation::foundationClasses().size(), 9u);
    for (const char* name : {"NSMutableString", "NSMutableArray", "NSNumber", "NSDecimalNumber", "NSObject", "NSURL",
                             "NSError", "NSManagedObject", "NSMutableAttributedString", "NSDate", "NSData"})
        EXPECT_TRUE(MMFoundation::isClassFromFoundation(&named(name))) << name;
    EXPECT_FALSE(MMFoundation::isClassFromFoundation(nullptr));
    EXPECT_FALSE(MMFoundation::isClassFromFoundation(&named("NSNull")));
    EXPECT_FALSE(MMFoundation::isClassFromFoundation(&named("NSSet")));
    EXPECT_FALSE(MMFoundation::isClassFromFoundation(&Gadget::classObject()));

    EXPECT_EQ(MMFoundation::classOfValue(Value::mutableArray()), &named("NSMutableArray"));
    EXPECT_EQ(MMFoundation::classOfValue(Value(true)), &named("NSNumber"));
    EXPECT_EQ(MMFoundation::classOfValue(Value::null()), &named("NSNull"));
    EXPECT_EQ(MMFoundation::classOfValue(Value(std::make_shared<Gadget>())), &Gadget::classObject());
    EXPECT_EQ(MMFoundation::classOfValue(Value()), nullptr);
}

TEST(MMPropertyType, ParsesTypeCodes) {
    struct Row {
        const char* code;
        const char* className;  // expected type class, or null
        bool id, number, boolean, foundation, kvcDisabled;
        const char* storedCode;
    };
    const Row rows[] = {
        {"@", nullptr, true, false, false, false, false, "@"},
        {"@\"NSString\"", "NSString", false, false, false, true, false, "NSString"},
        {"@\"NSNumber\"", "NSNumber", false, true, false, true, false, "NSNumber"},
        {"@\"NSDecimalNumber\"", "NSDecimalNumber", false, true, false, true, false, "NSDecimalNumber"},
        {"@\"Gadget\"", "Gadget", false, false, false, false, false, "Gadget"},
        {"@\"<SomeProtocol>\"", nullptr, false, false, false, false, false, "<SomeProtocol>"},
        {"c", nullptr, false, true, true, false, false, "c"},
        {"B", nullptr, false, true, true, false, false, "B"},
        {"C", nullptr, false, true, true, false, false, "C"},
        {"Q", nullptr, false, true, false, false, false, "Q"},
        {"q", nullptr, false, true, false, false, false, "q"},
        {"i", nullptr, false, true, false, false, false, "i"},
        {"d", nullptr, false, true, false, false, false, "d"},
        {"{CGPoint=dd}", nullptr, false, false, false, false, false, "{CGPoint=dd}"},
        {"*", nullptr, false, false, false, false, false, "*"},
        {":", nullptr, false, false, false, false, true, ":"},
        {"^{objc_ivar=}", nullptr, false, false, false, false, true, "^{objc_ivar=}"},
        {"", nullptr, false, false, false, false, true, ""},
    };
    for (const Row& row : rows) {
        const MMPropertyType& type = MMPropertyType::cachedTypeWithCode(row.code);
        SCOPED_TRACE(row.code);
        EXPECT_EQ(&type, &MMPropertyType::cachedTypeWithCode(row.code));
        EXPECT_EQ(type.code(), row.storedCode);
        EXPECT_EQ(type.typeClass(), row.className ? &named(row.className) : nullptr);
        EXPECT_EQ(type.isIdType(), row.id);
        EXPECT_EQ(type.isNumberType(), row.number);
        EXPECT_EQ(type.isBoolType(), row.boolean);
        EXPECT_EQ(type.isFromFoundation(), row.foundation);
        EXPECT_EQ(type.isKVCDisabled(), row.kvcDisabled);
    }
}

TEST(MMProperty, ParsesKeyPaths) {
    const std::pair<const char*, const char*> cases[] = {
        {"name", "key name;"},
        {"user.name", "key user;key name;"},
        {"list[0].title", "key list;index 0;key title;"},
        {"grid[1][2]", "key grid;index 1;index 2;"},
        {"list[0", "key list;"},
        {"a.[0]", "key a;"},
        {"[3]", ""},
        {"", ""},
        {"a..b", "key a;key ;key b;"},
        {"1[1]", "key 1;index 1;"},
        {"a[a]", "key a;index a;"},
        {"a[1]x", "key a;index 1;"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(describe(MMProperty::propertyKeysWithStringKey(text)), expected) << text;
}

TEST(MMPropertyKey, LooksUpOneStep) {
    const Value list(ns::Array{Value("a"), Value("b")});
    const Value dict(ns::Dictionary{{"k", Value(1)}, {"list", list}});
    const MMPropertyKey key(MMPropertyKey::Type::Dictionary, "k");
    EXPECT_EQ(key.valueInObject(dict), Value(1));
    EXPECT_TRUE(key.valueInObject(list).isNil());
    EXPECT_TRUE(MMPropertyKey(MMPropertyKey::Type::Dictionary, "missing").valueInObject(dict).isNil());
    EXPECT_EQ(MMPropertyKey(MMPropertyKey::Type::Array, "1").valueInObject(list), Value("b"));
    EXPECT_EQ(MMPropertyKey(MMPropertyKey::Type::Array, "x").valueInObject(list), Value("a"));  // no digits: 0
    EXPECT_TRUE(MMPropertyKey(MMPropertyKey::Type::Array, "2").valueInObject(list).isNil());
    EXPECT_TRUE(MMPropertyKey(MMPropertyKey::Type::Array, "-1").valueInObject(list).isNil());
    EXPECT_TRUE(MMPropertyKey(MMPropertyKey::Type::Array, "0").valueInObject(dict).isNil());
    EXPECT_TRUE(key.valueInObject(Value("k")).isNil());
}

TEST(MMProperty, ReadsAndWritesThroughKeyValueCoding) {
    const ns::Class& cls = Gadget::classObject();
    MMProperty& uid = MMProperty::cachedPropertyWithProperty(cls.properties()[0]);
    EXPECT_EQ(&uid, &MMProperty::cachedPropertyWithProperty(cls.properties()[0]));
    EXPECT_EQ(uid.name(), "uid");
    EXPECT_EQ(uid.type().code(), "q");
    MMProperty& selector = MMProperty::cachedPropertyWithProperty(cls.properties()[2]);
    EXPECT_TRUE(selector.type().isKVCDisabled());

    auto g = std::make_shared<Gadget>();
    uid.setValue(Value(7), *g);
    EXPECT_EQ(g->uid, 7);
    uid.setValue(Value(), *g);
    EXPECT_EQ(g->uid, 7);
    EXPECT_EQ(uid.valueForObject(*g).kind(), Value::Kind::Int);
    selector.setValue(Value("x"), *g);
    EXPECT_TRUE(g->selector.isNil());
    EXPECT_TRUE(selector.valueForObject(*g).isNull());

    MMProperty& name = MMProperty::cachedPropertyWithProperty(cls.properties()[1]);
    name.setOriginKey(Value(ns::Array{Value("a.b"), Value("[3]"), Value(5), Value("c")}), cls);
    auto paths = name.propertyKeysForClass(cls);
    ASSERT_NE(paths, nullptr);
    ASSERT_EQ(paths->size(), 2u);
    EXPECT_EQ(describe((*paths)[0]), "key a;key b;");
    EXPECT_EQ(describe((*paths)[1]), "key c;");
    name.setOriginKey(Value("[3]"), cls);  // no key left: the class has no path any more
    EXPECT_EQ(name.propertyKeysForClass(cls), nullptr);
    name.setObjectClassInArray(&cls, cls);
    EXPECT_EQ(name.objectClassInArrayForClass(cls), &cls);
    EXPECT_EQ(name.objectClassInArrayForClass(named("NSObject")), nullptr);
}
