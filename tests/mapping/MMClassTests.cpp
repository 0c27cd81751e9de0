#include <gtest/gtest.h>

#include "mapping/MMClass.h"
#include "mapping/MMHooks.h"
#include "mapping/MMKeyValue.h"

using namespace ql;
using ns::Value;

namespace {

class Animal : public ns::Object {
    QL_OBJECT(Animal, ns::Object)
    QL_PROPERTY(std::int64_t, animalId)
    QL_PROPERTY(std::string, hash)
    QL_PROPERTY(std::string, kind)
};

class Dog : public Animal {
    QL_OBJECT(Dog, Animal)
    QL_PROPERTY(std::string, debugDescription)
    QL_PROPERTY(std::string, nick)
    QL_PROPERTY(Value, toys)
};

class Puppy : public Dog {
    QL_OBJECT(Puppy, Dog)
    QL_PROPERTY(bool, sleepy)
};

// Answers hooks; its subclass Kitten inherits them without naming itself.
class Cat : public ns::Object {
    QL_OBJECT(Cat, ns::Object)
    QL_MM_HOOKS()
    QL_PROPERTY(std::string, name)
    QL_PROPERTY(std::string, owner)
    QL_PROPERTY(Value, mice)
public:
    static ns::Array mm_ignoredPropertyNames() { return {Value("owner")}; }
    static ns::Dictionary mm_replacedKeyFromPropertyName() { return {{"name", Value("cat_name")}}; }
    static Value mm_replacedKeyFromPropertyName121(const std::string& name) {
        return name == "owner" ? Value("profile.owner") : Value();
    }
    static ns::Dictionary objectClassInArray() { return {{"mice", Value("Animal")}}; }
};

class Kitten : public Cat {
    QL_OBJECT(Kitten, Cat)
    QL_PROPERTY(std::int32_t, age)
};

std::vector<std::string> classNames(const ns::Class& cls, bool all) {
    std::vector<std::string> names;
    auto visit = [&](const ns::Class& c, bool&) { names.emplace_back(c.name()); };
    if (all) mm_enumerateAllClasses(cls, visit);
    else mm_enumerateClasses(cls, visit);
    return names;
}

std::vector<std::string> propertyNames(const ns::Class& cls) {
    std::vector<std::string> names;
    mm_enumerateProperties(cls, [&](const MMProperty& p, bool&) { names.push_back(p.name()); });
    return names;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(MMClass, WalksClassesAndListsProperties) {
    EXPECT_EQ(classNames(Puppy::classObject(), false), (Names{"Puppy", "Dog", "Animal"}));
    EXPECT_EQ(classNames(Puppy::classObject(), true), (Names{"Puppy", "Dog", "Animal", "NSObject"}));
    EXPECT_EQ(classNames(ns::Object::classObject(), false), (Names{"NSObject"}));  // the class itself always
    Names visited;
    mm_enumerateClasses(Puppy::classObject(), [&](const ns::Class& c, bool& stop) {
        visited.emplace_back(c.name());
        stop = true;
    });
    EXPECT_EQ(visited, (Names{"Puppy"}));

    // Own properties first, inherited after; the runtime's own names never appear.
    EXPECT_EQ(propertyNames(Puppy::classObject()), (Names{"sleepy", "nick", "toys", "animalId", "kind"}));
    auto list = properties(Puppy::classObject());
    EXPECT_EQ(list, properties(Puppy::classObject()));  // cached
    EXPECT_EQ((*list)[1].property->srcClass(), &Dog::classObject());
    EXPECT_EQ((*list)[3].property, (*properties(Animal::classObject()))[0].property);  // one record per property
    Names firstTwo;
    mm_enumerateProperties(Puppy::classObject(), [&](const MMProperty& p, bool& stop) {
        firstTwo.push_back(p.name());
        stop = firstTwo.size() == 2;
    });
    EXPECT_EQ(firstTwo, (Names{"sleepy", "nick"}));
}

TEST(MMClass, ReplacedKeysAndElementClassesFollowTheChain) {
    // Nothing configured: every property maps to its own name.
    EXPECT_EQ(propertyKey(Animal::classObject(), "kind"), Value("kind"));
    EXPECT_TRUE(propertyKey(Animal::classObject(), "").isNil());

    mm_setupReplacedKeyFromPropertyName(Animal::classObject(), [] {
        return ns::Dictionary{{"kind", Value("info.kind")}, {"animalId", Value(ns::Array{Value("id"), Value("ID")})}};
    });
    mm_setupObjectClassInArray(Dog::classObject(), [] { return ns::Dictionary{{"toys", Value("Animal")}}; });
    EXPECT_EQ(propertyKey(Puppy::classObject(), "kind"), Value("info.kind"));  // from the base class
    EXPECT_EQ(propertyObjectClassInArray(Puppy::classObject(), "toys"), &Animal::classObject());
    EXPECT_EQ(propertyObjectClassInArray(Animal::classObject(), "toys"), nullptr);

    auto list = properties(Puppy::classObject());
    const MMClassProperty& animalId = (*list)[3];
    ASSERT_NE(animalId.keyPaths, nullptr);
    EXPECT_EQ(animalId.keyPaths->size(), 2u);  // a list of keys gives several paths
    EXPECT_EQ((*list)[2].objectClassInArray, &Animal::classObject());

    // A subclass's own setting is found first; a 121 function of a superclass serves the subclass.
    mm_setupReplacedKeyFromPropertyName(Dog::classObject(), [] { return ns::Dictionary{{"kind", Value("dogKind")}}; });
    EXPECT_EQ(propertyKey(Puppy::classObject(), "kind"), Value("dogKind"));
    mm_setupReplacedKeyFromPropertyName121(Animal::classObject(), [](const std::string& name) {
        return name == "kind" ? Value("fn_kind") : Value();
    });
    EXPECT_EQ(propertyKey(Puppy::classObject(), "kind"), Value("fn_kind"));
    EXPECT_EQ(propertyKey(Puppy::classObject(), "nick"), Value("nick"));

    // A setup without a block removes the setting, and the next list no longer sees it.
    mm_setupReplacedKeyFromPropertyName121(Animal::classObject(), nullptr);
    mm_setupReplacedKeyFromPropertyName(Dog::classObject(), nullptr);
    mm_setupObjectClassInArray(Dog::classObject(), nullptr);
    EXPECT_EQ((*properties(Puppy::classObject()))[2].objectClassInArray, nullptr);
    EXPECT_EQ(propertyKey(Puppy::classObject(), "kind"), Value("info.kind"));
    mm_setupObjectClassInArray(Dog::classObject(), [] { return ns::Dictionary{{"toys", Value("NoSuchClass")}}; });
    EXPECT_EQ(propertyObjectClassInArray(Puppy::classObject(), "toys"), nullptr);
    mm_setupReplacedKeyFromPropertyName(Animal::classObject(), nullptr);
}

TEST(MMClass, HooksAnswerForTheClassAndItsSubclasses) {
    for (const ns::Class* cls : {&Cat::classObject(), &Kitten::classObject()}) {
        EXPECT_EQ(propertyKey(*cls, "name"), Value("cat_name"));
        EXPECT_EQ(propertyKey(*cls, "owner"), Value("profile.owner"));  // the 121 hook comes before the dictionary
        EXPECT_EQ(propertyObjectClassInArray(*cls, "mice"), &Animal::classObject());
        EXPECT_EQ(mm_totalIgnoredPropertyNames(*cls), Names{"owner"});
    }
    mm_setupIgnoredPropertyNames(Kitten::classObject(), [] { return ns::Array{Value("age"), Value("owner")}; });
    mm_setupIgnoredPropertyNames(Cat::classObject(), [] { return ns::Array{Value("mice")}; });
    // The hook's names, then the class's own setup, then each superclass's; duplicates stay.
    EXPECT_EQ(mm_totalIgnoredPropertyNames(Kitten::classObject()), (Names{"owner", "age", "owner", "mice"}));
    mm_setupIgnoredPropertyNames(Kitten::classObject(), nullptr);
    EXPECT_EQ(mm_totalIgnoredPropertyNames(Kitten::classObject()), (Names{"owner", "mice"}));
    EXPECT_TRUE(mm_totalAllowedPropertyNames(Kitten::classObject()).empty());

    mm_setupAllowedCodingPropertyNames(Animal::classObject(), [] { return ns::Array{Value("kind")}; });
    EXPECT_EQ(mm_totalAllowedCodingPropertyNames(Puppy::classObject()), Names{"kind"});
    EXPECT_TRUE(mm_totalIgnoredCodingPropertyNames(Puppy::classObject()).empty());
    mm_setupAllowedCodingPropertyNames(Animal::classObject(), nullptr);
    EXPECT_TRUE(mm_totalAllowedCodingPropertyNames(Puppy::classObject()).empty());
}

TEST(MMClass, ReferenceFlagAndNewValueFunctionsInherit) {
    EXPECT_TRUE(mm_isReferenceReplacedKeyWhenCreatingKeyValues(Puppy::classObject()));
    mm_referenceReplacedKeyWhenCreatingKeyValues(Dog::classObject(), false);
    EXPECT_FALSE(mm_isReferenceReplacedKeyWhenCreatingKeyValues(Puppy::classObject()));
    EXPECT_FALSE(mm_isReferenceReplacedKeyWhenCreatingKeyValues(Dog::classObject()));
    EXPECT_TRUE(mm_isReferenceReplacedKeyWhenCreatingKeyValues(Animal::classObject()));
    mm_referenceReplacedKeyWhenCreatingKeyValues(Puppy::classObject(), true);
    EXPECT_TRUE(mm_isReferenceReplacedKeyWhenCreatingKeyValues(Puppy::classObject()));
    mm_referenceReplacedKeyWhenCreatingKeyValues(Dog::classObject(), true);

    auto puppy = std::make_shared<Puppy>();
    const MMProperty& nick = *(*properties(Puppy::classObject()))[1].property;
    EXPECT_EQ(mm_getNewValueFromObject(Puppy::classObject(), *puppy, Value("x"), nick), Value("x"));
    mm_setupNewValueFromOldValue(Animal::classObject(), [](ns::Object& o, const Value& old, const MMProperty& p) {
        return Value(std::string(o.className()) + ":" + p.name() + ":" + old.stringValue());
    });
    EXPECT_EQ(mm_getNewValueFromObject(Puppy::classObject(), *puppy, Value("x"), nick), Value("Puppy:nick:x"));
    mm_setupNewValueFromOldValue(Dog::classObject(), [](ns::Object&, const Value&, const MMProperty&) { return Value(); });
    EXPECT_TRUE(mm_getNewValueFromObject(Puppy::classObject(), *puppy, Value("x"), nick).isNil());  // even nil decides
    mm_setupNewValueFromOldValue(Dog::classObject(), nullptr);
    mm_setupNewValueFromOldValue(Animal::classObject(), nullptr);
    EXPECT_EQ(mm_getNewValueFromObject(Puppy::classObject(), *puppy, Value(3), nick), Value(3));
}
