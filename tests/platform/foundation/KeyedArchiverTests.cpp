#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/PropertyListUID.h"
#include "platform/foundation/URL.h"
#include "tests/platform/foundation/ValueCorpus.h"

using namespace ql::ns;
using ql::ns::testing::identical;
using ql::ns::testing::nested;

namespace {

const Class& named(std::string_view name) { return *Class::named(name); }

class Author : public Object, public Coding {
    QL_OBJECT(Author, Object)
    QL_PROPERTY(std::string, name)
    QL_PROPERTY(std::int64_t, born)
public:
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(name, "name");
        coder.encodeInt64(born, "born");
    }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        name = std::string(coder.decodeObjectOfClass(named("NSString"), "name").asString());
        born = coder.decodeInt64ForKey("born");
        return true;
    }
    bool supportsSecureCoding() const override { return true; }
};

class Volume : public Object, public Coding {
    QL_OBJECT(Volume, Object)
    QL_PROPERTY(std::string, title)
    QL_PROPERTY(std::shared_ptr<Author>, author)
    QL_PROPERTY(std::shared_ptr<Author>, editor)
    QL_PROPERTY(Value, extras)
    QL_PROPERTY(bool, inPrint)
    QL_PROPERTY(std::int32_t, pages)
    QL_PROPERTY(double, price)
    QL_PROPERTY(float, rating)
    QL_PROPERTY(Data, cover)
public:
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(title, "title");
        coder.encodeObject(author, "author");
        coder.encodeObject(editor, "editor");
        coder.encodeObject(extras, "$extras");
        coder.encodeBool(inPrint, "inPrint");
        coder.encodeInt32(pages, "pages");
        coder.encodeDouble(price, "price");
        coder.encodeFloat(rating, "rating");
        coder.encodeBytes(cover, "cover");
    }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        title = std::string(coder.decodeObjectOfClass(named("NSString"), "title").asString());
        author = coder.decodeObjectOfClass<Author>("author");
        editor = coder.decodeObjectOfClass<Author>("editor");
        extras = coder.decodeObjectOfClasses({&named("NSArray"), &named("NSDictionary"), &named("NSString"),
                                              &named("NSNumber"), &named("NSData"), &named("NSDate")},
                                             "$extras");
        inPrint = coder.decodeBoolForKey("inPrint");
        pages = coder.decodeInt32ForKey("pages");
        price = coder.decodeDoubleForKey("price");
        rating = coder.decodeFloatForKey("rating");
        cover = coder.decodeBytesForKey("cover");
        return true;
    }
    bool supportsSecureCoding() const override { return true; }
};

// A tree whose children point back at their parent (weakly, as owners' back-pointers do).
class Chapter : public Object, public Coding {
    QL_OBJECT(Chapter, Object)
    QL_PROPERTY(std::vector<std::shared_ptr<Chapter>>, children)
public:
    std::weak_ptr<Chapter> parent;
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(PropertyTraits<std::vector<std::shared_ptr<Chapter>>>::toValue(children), "children");
        coder.encodeObject(parent.lock(), "parent");
    }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        PropertyTraits<std::vector<std::shared_ptr<Chapter>>>::fromValue(coder.decodeObjectForKey("children"), children);
        parent = coder.decodeObjectForKey("parent").asObject<Chapter>();
        return true;
    }
};

// Decodes only when asked to fail, one way or the other.
class Fussy : public Object, public Coding {
    QL_OBJECT(Fussy, Object)
    QL_PROPERTY(std::int64_t, mode)
public:
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeInteger(mode, "mode"); }
    bool initWithCoder(KeyedUnarchiver& coder) override {
        mode = coder.decodeIntegerForKey("mode");
        if (mode == 2) coder.failWithError(Error("Fussy", 2));
        return mode == 0;
    }
};

class Plain : public Object {
    QL_OBJECT(Plain, Object)
};

Value unarchive(const Data& data, Error* error = nullptr) { return KeyedUnarchiver::unarchiveObjectWithData(data, error); }

// The reason an unarchiving call gave for refusing the data.
std::string refusal(const Value& result, const Error& error) {
    if (!result.isNil()) return "accepted";
    EXPECT_EQ(error.domain(), CocoaErrorDomain);
    EXPECT_EQ(error.code(), CoderReadCorruptError);
    return std::string(error.userInfo()[DebugDescriptionErrorKey].asString());
}

std::string refusal(const Data& data) {
    Error error(std::string(), 0);
    Value v = unarchive(data, &error);
    return refusal(v, error);
}

// An archive written by hand from its "$objects" table and root reference.
Data archive(Array objects, Value root = PropertyListUID::make(1)) {
    Dictionary top;
    if (!root.isNil()) top.set("root", root);
    auto data = PropertyListSerialization::dataWithPropertyList(
        Value(Dictionary{{"$archiver", Value("NSKeyedArchiver")},
                         {"$version", Value(100000)},
                         {"$top", Value(std::move(top))},
                         {"$objects", Value(std::move(objects))}}),
        PropertyListFormat::Binary, nullptr);
    return *data;
}

Value uid(std::uint64_t n) { return PropertyListUID::make(n); }

Value classEntry(std::string_view name) {
    return Value(Dictionary{{"$classname", Value(name)}, {"$classes", Value(Array{Value(name), Value("NSObject")})}});
}

std::shared_ptr<Volume> sampleVolume() {
    auto author = std::make_shared<Author>();
    author->name = "Lu Xun";
    author->born = std::numeric_limits<std::int64_t>::min() + 1;
    auto v = std::make_shared<Volume>();
    v->title = "呐喊";
    v->author = author;
    v->editor = author;
    v->extras = Value(Array{Value("a"), Value(std::numeric_limits<std::uint64_t>::max()),
                            Value(Dictionary{{"k", Value(Date::fromTimeIntervalSinceReferenceDate(0.25))}})});
    v->inPrint = true;
    v->pages = -7;
    v->price = 0.1;
    v->rating = 4.5f;
    v->cover = Data(std::string_view("\x89PNG"));
    return v;
}

}  // namespace

TEST(KeyedArchiver, RegisteredClassesRoundTripInThePlatformsLayout) {
    Error error(std::string(), 0);
    auto data = KeyedArchiver::archivedDataWithRootObject(sampleVolume(), &error);
    ASSERT_TRUE(data) << error.description();

    // The layout: a binary list with the archive's own keys, "$null" first, classes with their chain.
    PropertyListFormat format = PropertyListFormat::XML;
    Value plist = PropertyListSerialization::propertyListWithData(*data, 0, &format, nullptr);
    EXPECT_EQ(format, PropertyListFormat::Binary);
    EXPECT_EQ(plist["$archiver"].asString(), "NSKeyedArchiver");
    EXPECT_TRUE(identical(plist["$version"], Value(100000)));
    EXPECT_EQ(plist["$objects"][0].asString(), "$null");
    auto root = PropertyListUID::valueOf(plist["$top"]["root"]);
    ASSERT_TRUE(root);
    const Value& volume = plist["$objects"][*root];
    EXPECT_TRUE(volume.asDictionary()->contains("$$extras"));
    EXPECT_TRUE(identical(volume["pages"], Value(-7)));
    EXPECT_EQ(volume["author"], volume["editor"]);  // one shared object, archived once
    const Value& cls = plist["$objects"][*PropertyListUID::valueOf(volume["$class"])];
    EXPECT_EQ(cls["$classname"].asString(), "Volume");
    EXPECT_TRUE(identical(cls["$classes"], Value(Array{Value("Volume"), Value("NSObject")})));
    auto extras = PropertyListUID::valueOf(volume["$$extras"]);
    ASSERT_TRUE(extras);
    EXPECT_EQ(plist["$objects"][*extras]["NS.objects"].count(), 3u);

    for (bool secure : {false, true}) {
        Value back = secure ? KeyedUnarchiver::unarchivedObjectOfClass(Volume::classObject(), *data, &error)
                            : unarchive(*data, &error);
        auto v = back.asObject<Volume>();
        ASSERT_TRUE(v) << error.description();
        EXPECT_EQ(v->title, "呐喊");
        ASSERT_TRUE(v->author);
        EXPECT_EQ(v->author, v->editor);
        EXPECT_EQ(v->author->name, "Lu Xun");
        EXPECT_EQ(v->author->born, std::numeric_limits<std::int64_t>::min() + 1);
        EXPECT_TRUE(identical(v->extras, sampleVolume()->extras));
        EXPECT_TRUE(v->inPrint);
        EXPECT_EQ(v->pages, -7);
        EXPECT_EQ(v->price, 0.1);
        EXPECT_EQ(v->rating, 4.5f);
        EXPECT_EQ(v->cover.toString(), "\x89PNG");
    }
}

TEST(KeyedArchiver, ValuesKeepTheirKindsAndMutability) {
    Value corpus = ql::ns::testing::plistCorpus();
    corpus.mutableDictionaryStorage()->set("more", Value::mutableArray({Value::null(), Value(Set{Value(1), Value("x")}),
                                                                    Value::mutableString("edit me"),
                                                                    Value::mutableDictionary(Dictionary{{"k", Value(true)}}),
                                                                    Value(Date::fromTimeIntervalSince1970(0.125))}));
    auto data = KeyedArchiver::archivedDataWithRootObject(corpus, nullptr);
    ASSERT_TRUE(data);
    Value back = unarchive(*data);
    EXPECT_TRUE(identical(corpus, back));
    EXPECT_EQ(back["more"].valueClass()->name(), "NSMutableArray");
    EXPECT_EQ(back["more"][2].valueClass()->name(), "NSMutableString");
    EXPECT_TRUE(back["more"][0].isNull());
    EXPECT_TRUE(identical(unarchive(*KeyedArchiver::archivedDataWithRootObject(Value(), nullptr)), Value()));
}

TEST(KeyedArchiver, CyclesComeBackAsTheSameInstances) {
    auto book = std::make_shared<Chapter>();
    for (int i = 0; i < 3; ++i) {
        auto child = std::make_shared<Chapter>();
        child->parent = book;
        book->children.push_back(child);
    }
    auto data = KeyedArchiver::archivedDataWithRootObject(book, nullptr);
    ASSERT_TRUE(data);
    auto back = unarchive(*data).asObject<Chapter>();
    ASSERT_TRUE(back);
    ASSERT_EQ(back->children.size(), 3u);
    for (const auto& child : back->children) EXPECT_EQ(child->parent.lock(), back);
    EXPECT_TRUE(back->parent.expired());
}

TEST(KeyedArchiver, WhatCannotBeArchivedIsAnError) {
    Error error(std::string(), 0);
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(Value(Array{Value(std::make_shared<Plain>())}), &error));
    EXPECT_EQ(error.code(), CoderInvalidValueError);
    EXPECT_NE(error.userInfo()[DebugDescriptionErrorKey].asString().find("Plain"), std::string_view::npos);

    const int cap = static_cast<int>(PropertyListSerialization::kMaxDepth);
    EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(nested(cap - 1, Value(1)), nullptr));
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(nested(cap + 1, Value(1)), &error));
    auto deep = std::make_shared<Chapter>();
    for (int i = 0; i < cap; ++i) {
        auto parent = std::make_shared<Chapter>();
        parent->children.push_back(deep);
        deep = parent;
    }
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(deep, &error));
}

TEST(KeyedUnarchiver, SecureCodingAcceptsOnlyAllowedClasses) {
    auto volume = *KeyedArchiver::archivedDataWithRootObject(sampleVolume(), nullptr);
    Error error(std::string(), 0);
    Value v = KeyedUnarchiver::unarchivedObjectOfClass(Author::classObject(), volume, &error);
    EXPECT_NE(refusal(v, error).find("unexpected class (Volume)"), std::string::npos);

    // Container elements must be allowed too.
    auto strings = *KeyedArchiver::archivedDataWithRootObject(Value(Array{Value("a"), Value("b")}), nullptr);
    v = KeyedUnarchiver::unarchivedObjectOfClass(named("NSArray"), strings, &error);
    EXPECT_NE(refusal(v, error).find("unexpected class (NSString)"), std::string::npos);
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClasses({&named("NSArray"), &named("NSString")}, strings, nullptr).count(), 2u);

    // A class that does not support secure coding is refused even when allowed, but decodes otherwise.
    auto chapter = *KeyedArchiver::archivedDataWithRootObject(std::make_shared<Chapter>(), nullptr);
    v = KeyedUnarchiver::unarchivedObjectOfClass(Chapter::classObject(), chapter, &error);
    EXPECT_NE(refusal(v, error).find("secure coding"), std::string::npos);
    EXPECT_TRUE(unarchive(chapter).asObject<Chapter>());
}

TEST(KeyedUnarchiver, CorruptArchivesAnswerErrors) {
    const std::vector<std::pair<Data, std::string>> cases = {
        {archive({Value("$null"), Value(Dictionary{{"$class", uid(2)}}), classEntry("Vanished")}),
         "class (Vanished) for key (root)"},
        {archive({Value("$null"), Value("x")}, uid(5)), "out of range"},
        {archive({Value("$null"), Value("x")}, Value()), "no root object"},
        {archive({Value("$null"), Value("x")}, Value("x")), "no object reference"},
        {archive({Value("$null"), Value(Array{})}), "no archivable kind"},
        {archive({Value("$null"), Value(Dictionary{{"$class", uid(1)}})}), "has no class"},
        {archive({Value("$null"), Value(Dictionary{{"$class", uid(9)}})}), "has no class"},
        {archive({Value("$null"), Value(Dictionary{{"NS.objects", Value(Array{uid(1)})}, {"$class", uid(2)}}),
                  classEntry("NSArray")}),
         "contains itself"},
        {archive({Value("$null"), Value(Dictionary{{"NS.keys", Value(Array{uid(3)})}, {"NS.objects", Value(Array{})},
                                                   {"$class", uid(2)}}),
                  classEntry("NSDictionary"), Value("k")}),
         "1 keys and 0 values"},
        {archive({Value("$null"), Value(Dictionary{{"NS.keys", Value(Array{uid(3)})}, {"NS.objects", Value(Array{uid(3)})},
                                                   {"$class", uid(2)}}),
                  classEntry("NSDictionary"), Value(5)}),
         "is no text"},
        {archive({Value("$null"), Value(Dictionary{{"NS.objects", Value(Array{uid(0)})}, {"$class", uid(2)}}),
                  classEntry("NSArray")}),
         "is nil"},
        {archive({Value("$null"), Value(Dictionary{{"NS.time", Value("soon")}, {"$class", uid(2)}}), classEntry("NSDate")}),
         "malformed NSDate"},
        {archive({Value("$null"), Value(Dictionary{{"$class", uid(2)}}), classEntry("Plain")}), "does not adopt coding"},
        {archive({Value("$null"), Value(Dictionary{{"$class", uid(2)}}), classEntry("NSNumber")}), "does not adopt coding"},
        {archive({Value("$null"), Value(Dictionary{{"born", Value("old")}, {"$class", uid(2)}}), classEntry("Author")}),
         "is no number"},
        {archive({Value("null"), Value("x")}), "no keyed archive"},
        {Data(std::string_view("not an archive")), "no property list"},
        {*PropertyListSerialization::dataWithPropertyList(Value(Array{}), PropertyListFormat::Binary, nullptr),
         "no keyed archive"},
    };
    for (const auto& [data, reason] : cases) EXPECT_NE(refusal(data).find(reason), std::string::npos) << refusal(data);

    // Values that do not fit the asked type.
    auto big = archive({Value("$null"), Value(Dictionary{{"pages", Value(std::int64_t{1} << 40)}, {"$class", uid(2)}}),
                        classEntry("Volume")});
    EXPECT_NE(refusal(big).find("32-bit"), std::string::npos);

    // Nesting deeper than the cap, built from a chain of arrays each holding the next.
    Array chain{Value("$null")};
    const std::uint64_t depth = 1000;
    for (std::uint64_t i = 1; i <= depth; ++i) {
        Array members;
        if (i < depth) members.push_back(uid(i + 1));
        chain.push_back(Value(Dictionary{{"NS.objects", Value(std::move(members))}, {"$class", uid(depth + 1)}}));
    }
    chain.push_back(classEntry("NSArray"));
    EXPECT_NE(refusal(archive(std::move(chain))).find("nested too deeply"), std::string::npos);

    // Every truncation of a real archive is refused.
    auto data = *KeyedArchiver::archivedDataWithRootObject(sampleVolume(), nullptr);
    for (std::size_t n = 0; n < data.length(); n += 5) EXPECT_TRUE(unarchive(data.subdata(0, n)).isNil()) << n;
}

TEST(KeyedUnarchiver, InitWithCoderMayDeclineOrFail) {
    auto fussy = [](std::int64_t mode) {
        auto f = std::make_shared<Fussy>();
        f->mode = mode;
        return *KeyedArchiver::archivedDataWithRootObject(f, nullptr);
    };
    Error error(std::string(), 0);
    EXPECT_TRUE(unarchive(fussy(0), &error).asObject<Fussy>());
    error = Error(std::string(), 0);
    EXPECT_TRUE(unarchive(fussy(1), &error).isNil());
    EXPECT_EQ(error.code(), 0);  // declining is no error
    EXPECT_TRUE(unarchive(fussy(2), &error).isNil());
    EXPECT_EQ(error, Error("Fussy", 2));
}

TEST(KeyedArchiver, URLsArchiveWithTheirBase) {
    const URL base = *URL::fromString("http://example.com/books/");
    const URL relative = *URL::fromString("42?page=2", base);
    Error error(std::string(), 0);
    auto data = KeyedArchiver::archivedDataWithRootObject(Value(Array{relative.boxed(), base.boxed()}), &error);
    ASSERT_TRUE(data) << error.description();
    const Value back = KeyedUnarchiver::unarchiveObjectWithData(*data, &error);
    ASSERT_TRUE(back.isArray()) << error.description();
    auto first = URL::fromValue((*back.asArray())[0]);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, relative);
    EXPECT_EQ(first->relativeString(), "42?page=2");
    EXPECT_EQ(first->absoluteString(), "http://example.com/books/42?page=2");
    EXPECT_EQ(URL::fromValue((*back.asArray())[1]), base);
    EXPECT_TRUE(named("NSURL").canCreateInstances());
}
