#include <gtest/gtest.h>

#include <thread>

#include "mapping/MMClass.h"
#include "mapping/MMHooks.h"
#include "mapping/MMKeyValue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/URL.h"

using namespace ql;
using ns::Value;

namespace {

class BaseReq : public ns::Object {
    QL_OBJECT(BaseReq, ns::Object)
    QL_PROPERTY(std::int64_t, uid)
};

class LoginReq : public BaseReq {
    QL_OBJECT(LoginReq, BaseReq)
    QL_PROPERTY(std::string, userName)
    QL_PROPERTY(std::optional<std::string>, password)
};

class Author : public ns::Object {
    QL_OBJECT(Author, ns::Object)
    QL_PROPERTY(std::string, name)
    QL_PROPERTY(std::int64_t, age)
};

class Book : public ns::Object {
    QL_OBJECT(Book, ns::Object)
    QL_PROPERTY(std::int64_t, bookId)
    QL_PROPERTY(std::optional<std::string>, title)
    QL_PROPERTY(double, price)
    QL_PROPERTY(bool, isNew)
    QL_PROPERTY(std::int32_t, pages)
    QL_PROPERTY(std::optional<ns::Date>, published)
    QL_PROPERTY(Value, link, "T@\"NSURL\",&,N,V_link")
    QL_PROPERTY(Value, cost, "T@\"NSDecimalNumber\",&,N,V_cost")
    QL_PROPERTY(Value, count, "T@\"NSNumber\",&,N,V_count")
    QL_PROPERTY(Value, notes, "T@\"NSMutableArray\",&,N,V_notes")
    QL_PROPERTY(Value, anything)
    QL_PROPERTY(std::shared_ptr<Author>, author)
};

class BaseRsp : public ns::Object {
    QL_OBJECT(BaseRsp, ns::Object)
    QL_PROPERTY(std::int64_t, result)
    QL_PROPERTY(std::string, msg)
};

// Registers its element classes in its initialiser, as the app's reply models do.
class BookListRsp : public BaseRsp {
    QL_OBJECT(BookListRsp, BaseRsp)
    QL_PROPERTY(std::vector<std::shared_ptr<Book>>, bookList)
    QL_PROPERTY(Value, plain)
    QL_PROPERTY(Value, links)
public:
    BookListRsp() {
        mm_setupObjectClassInArray(classObject(), [] {
            return ns::Dictionary{{"bookList", Value("Book")}, {"links", Value("NSURL")}};
        });
    }
};

class Node : public ns::Object {
    QL_OBJECT(Node, ns::Object)
    QL_PROPERTY(std::int64_t, level)
    QL_PROPERTY(std::shared_ptr<Node>, child)
};

class Item : public ns::Object {
    QL_OBJECT(Item, ns::Object)
    QL_PROPERTY(std::string, code)
};

// Changes its class configuration every time one is made, emptying every class's property list in the
// middle of the conversion that is making it.
class Box : public ns::Object {
    QL_OBJECT(Box, ns::Object)
    QL_PROPERTY(std::vector<std::shared_ptr<Item>>, items)
public:
    Box() {
        static int made = 0;
        const bool odd = ++made % 2;
        mm_setupObjectClassInArray(classObject(), [odd] {
            return odd ? ns::Dictionary{{"items", Value("Item")}} : ns::Dictionary{{"items", Value("Item")}, {"x", Value("Item")}};
        });
    }
};

class Shelf : public ns::Object {
    QL_OBJECT(Shelf, ns::Object)
    QL_MM_HOOKS()
    QL_PROPERTY(std::vector<std::shared_ptr<Box>>, boxes)
    QL_PROPERTY(std::string, label)
    QL_PROPERTY(std::string, secret)
public:
    static ns::Dictionary mm_objectClassInArray() { return {{"boxes", Value("Box")}}; }
    static ns::Array mm_ignoredPropertyNames() { return {Value("secret")}; }
    Value mm_newValueFromOldValue(const Value& old, const MMProperty& property) {
        return property.name() == "label" && old.isString() ? Value("[" + std::string(old.asString()) + "]") : old;
    }
    void mm_keyValuesDidFinishConvertingToObject() { ++converted; }
    void mm_objectDidFinishConvertingToKeyValues() const { ++built; }
    int converted = 0;
    mutable int built = 0;
};

// Builds its dictionary at replaced key paths.
class Profile : public ns::Object {
    QL_OBJECT(Profile, ns::Object)
    QL_PROPERTY(std::string, city)
    QL_PROPERTY(std::int64_t, second)
    QL_PROPERTY(std::int64_t, negative)
    QL_PROPERTY(ns::Dictionary, info)
    QL_PROPERTY(std::string, inside)
    QL_PROPERTY(std::string, hidden)
};

// Answers key-value coding itself, so conversions must go through it.
class Audited : public ns::Object {
    QL_OBJECT(Audited, ns::Object)
    QL_PROPERTY(std::string, note)
public:
    void setValueForKey(const Value& value, std::string_view key) override {
        ++writes;
        ns::Object::setValueForKey(key == "note" ? Value("audited " + value.stringValue()) : value, key);
    }
    Value valueForKey(std::string_view key) const override {
        ++reads;
        return ns::Object::valueForKey(key);
    }
    int writes = 0;
    mutable int reads = 0;
};

class AuditedChild : public Audited {
    QL_OBJECT(AuditedChild, Audited)
    QL_PROPERTY(std::int64_t, level)
};

Value json(std::string_view text) {
    Value v = ns::JSONSerialization::JSONObjectWithData(text, 0, nullptr);
    EXPECT_FALSE(v.isNil()) << text;
    return v;
}

std::string errorOf(const ns::Class& cls) {
    auto e = mm_error(cls);
    return e ? e->domain() + "/" + std::to_string(e->code()) : "";
}

}  // namespace

TEST(MMKeyValue, FillsModelsFromReplies) {
    auto book = mm_objectWithKeyValues<Book>(json(R"({"bookId": "42", "title": 12, "price": "1.5", "isNew": "YES",
        "pages": "abc", "published": "2015-01-01", "count": "7", "cost": 3, "notes": [1], "anything": {"a": 1},
        "author": {"name": "Lu Xun", "age": 55}, "extra": true})"));
    ASSERT_NE(book, nullptr);
    EXPECT_EQ(book->bookId, 42);
    EXPECT_EQ(book->title, "12");
    EXPECT_EQ(book->price, 1.5);
    EXPECT_TRUE(book->isNew);
    EXPECT_EQ(book->pages, 0);                // "abc" is no number: left alone
    EXPECT_FALSE(book->published.has_value());  // a text is no date
    EXPECT_EQ(book->count, Value(7));
    EXPECT_TRUE(book->cost.isNil());           // only a text becomes a decimal number
    EXPECT_TRUE(book->notes.isMutable());
    EXPECT_EQ(book->anything, Value(ns::Dictionary{{"a", Value(1)}}));
    ASSERT_NE(book->author, nullptr);
    EXPECT_EQ(book->author->name, "Lu Xun");
    EXPECT_EQ(book->author->age, 55);
    EXPECT_FALSE(mm_error(Book::classObject()));

    // Booleans read yes/true/no/false in any case, else through the number parser; numbers ignore the locale.
    const std::pair<const char*, bool> flags[] = {{"true", true}, {"TRUE", true}, {"false", false}, {"1", true}, {"0", false}};
    for (const auto& [text, expected] : flags) {
        Book b;
        b.isNew = !expected;
        mm_setKeyValues(b, Value(ns::Dictionary{{"isNew", Value(text)}}));
        EXPECT_EQ(b.isNew, expected) << text;
    }
    Book b;
    mm_setKeyValues(b, Value(ns::Dictionary{{"price", Value("1,5")}, {"cost", Value("12.25")}, {"bookId", Value("9007199254740993")},
                                            {"title", Value::null()}, {"link", Value("http://a.b/c d?q=你")}}));
    EXPECT_EQ(b.price, 0.0);
    EXPECT_EQ(b.cost, Value(12.25));
    EXPECT_EQ(b.bookId, 9007199254740993);
    EXPECT_FALSE(b.title.has_value());  // null leaves the property alone
    ASSERT_TRUE(ns::URL::fromValue(b.link));
    EXPECT_EQ(ns::URL::fromValue(b.link)->absoluteString(), "http://a.b/c%20d?q=%E4%BD%A0");
    mm_setKeyValues(b, Value(ns::Dictionary{{"link", Value("100%")}, {"title", Value(ns::Array{Value("x")})}}));
    EXPECT_TRUE(ns::URL::fromValue(b.link));  // no URL can be made: left alone
    EXPECT_FALSE(b.title.has_value());       // an array for a text: type mismatch

    // JSON text, JSON data and models are accepted wherever a dictionary is.
    EXPECT_EQ(mm_objectWithKeyValues<Author>(Value(R"({"name":"a"})"))->name, "a");
    EXPECT_EQ(mm_objectWithKeyValues<Author>(Value(ns::Data(std::string_view(R"({"name":"b"})"))))->name, "b");
    EXPECT_EQ(mm_objectWithKeyValues<Author>(Value(book->author))->name, "Lu Xun");
}

namespace {
class Counts : public ns::Object {
    QL_OBJECT(Counts, ns::Object)
    QL_PROPERTY(std::int32_t, pages)
    QL_PROPERTY(std::int8_t, level)
    QL_PROPERTY(std::uint16_t, copies)
    QL_PROPERTY(std::uint64_t, words)
};
}  // namespace

TEST(MMKeyValue, AmountsBeyondAPropertysRangeHoldAtItsEnds) {
    Counts counts;
    mm_setKeyValues(counts, json(R"({"pages": 4294967301, "level": -300, "copies": 65541, "words": -1})"));
    EXPECT_EQ(counts.pages, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(counts.level, std::numeric_limits<std::int8_t>::min());
    EXPECT_EQ(counts.copies, std::numeric_limits<std::uint16_t>::max());
    EXPECT_EQ(counts.words, 0u);
    mm_setKeyValues(counts, json(R"({"pages": -1e30, "level": "127", "copies": "-2", "words": 18446744073709551615})"));
    EXPECT_EQ(counts.pages, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(counts.level, 127);
    EXPECT_EQ(counts.copies, 0);
    EXPECT_EQ(counts.words, std::numeric_limits<std::uint64_t>::max());
    // Amounts within the range are taken as they are.
    mm_setKeyValues(counts, json(R"({"pages": -2147483648, "level": -128, "copies": 65535, "words": 9007199254740993})"));
    EXPECT_EQ(counts.pages, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(counts.level, -128);
    EXPECT_EQ(counts.copies, 65535);
    EXPECT_EQ(counts.words, 9007199254740993u);
}

TEST(MMKeyValue, FillsArraysOfElementModels) {
    auto rsp = mm_objectWithKeyValues<BookListRsp>(json(R"({"result": 1, "msg": "ok",
        "bookList": [{"bookId": 1}, "junk", {"bookId": 2}, null],
        "plain": [{"bookId": 3}], "links": ["http://x/a", 5, "http://x/b c"]})"));
    ASSERT_NE(rsp, nullptr);
    EXPECT_EQ(rsp->result, 1);
    ASSERT_EQ(rsp->bookList.size(), 2u);
    EXPECT_EQ(rsp->bookList[1]->bookId, 2);
    EXPECT_EQ(rsp->plain, json(R"([{"bookId": 3}])"));  // no element class: the dictionaries as they are
    ASSERT_EQ(rsp->links.count(), 2u);
    EXPECT_EQ(ns::URL::fromValue(rsp->links[1])->absoluteString(), "http://x/b%20c");
    EXPECT_EQ(errorOf(Book::classObject()), std::string(MMErrorKeyValuesNotDictionary) + "/250");  // the element class

    Value nested = mm_objectArrayWithKeyValuesArray(Author::classObject(), json(R"([{"name": "a"}, [{"name": "b"}, 3]])"));
    ASSERT_EQ(nested.count(), 2u);
    EXPECT_TRUE(nested.isMutable());
    EXPECT_EQ(nested[0].asObject<Author>()->name, "a");
    ASSERT_EQ(nested[1].count(), 1u);
    EXPECT_EQ(nested[1][0].asObject<Author>()->name, "b");
    Value copied = mm_objectArrayWithKeyValuesArray(*ns::Class::named("NSString"), json(R"(["a", 1])"));
    EXPECT_EQ(copied, json(R"(["a", 1])"));
    EXPECT_TRUE(copied.isMutable());
}

TEST(MMKeyValue, RecordsErrorsOnTheRightClass) {
    EXPECT_EQ(mm_objectWithKeyValues<Author>(Value("not json")), nullptr);
    EXPECT_EQ(errorOf(Author::classObject()), "keyValues参数不是一个字典/250");
    EXPECT_EQ(mm_objectWithKeyValues<Author>(Value::null()), nullptr);
    Author a;
    a.name = "kept";
    EXPECT_EQ(&mm_setKeyValues(a, json("[1]")), &a);
    EXPECT_EQ(a.name, "kept");
    EXPECT_EQ(errorOf(Author::classObject()), "keyValues参数不是一个字典/250");
    mm_setKeyValues(a, Value(ns::Dictionary{{"name", Value("x")}}));
    EXPECT_EQ(errorOf(Author::classObject()), "");  // a clean conversion clears it

    EXPECT_TRUE(mm_objectArrayWithKeyValuesArray(Author::classObject(), Value("{}")).isNil());
    EXPECT_EQ(errorOf(Author::classObject()), "keyValuesArray参数不是一个数组/250");
    EXPECT_TRUE(mm_keyValuesArrayWithObjectArray(Book::classObject(), Value(1)).isNil());
    EXPECT_EQ(errorOf(Book::classObject()), "objectArray参数不是一个数组/250");

    const Value texts(ns::Array{Value("YWJj"), Value("ZGVm")});
    EXPECT_EQ(mm_keyValues(texts), texts);  // no model: the receiver itself
    EXPECT_EQ(errorOf(*ns::Class::named("NSArray")), "不是自定义的模型类/250");
    EXPECT_EQ(mm_keyValues(Value("text")), Value("text"));
    EXPECT_EQ(errorOf(*ns::Class::named("NSString")), "不是自定义的模型类/250");

    EXPECT_EQ(mm_objectWithFilename(Author::classObject(), ""), nullptr);
    EXPECT_EQ(errorOf(Author::classObject()), "filename参数为nil/250");
    EXPECT_EQ(mm_objectWithFilename(Author::classObject(), "NoSuchResource.plist"), nullptr);
    EXPECT_EQ(errorOf(Author::classObject()), "file参数为nil/250");
    EXPECT_TRUE(mm_objectArrayWithFile(Author::classObject(), "").isNil());
    EXPECT_EQ(errorOf(Author::classObject()), "file参数为nil/250");
    EXPECT_EQ(mm_objectWithFile(Author::classObject(), "/nonexistent/file.plist"), nullptr);
    EXPECT_EQ(errorOf(Author::classObject()), "keyValues参数不是一个字典/250");
}

TEST(MMKeyValue, BuildsParameterDictionaries) {
    auto req = std::make_shared<LoginReq>();
    req->uid = (std::int64_t{1} << 53) + 1;
    req->userName = "13800000000";
    Value params = mm_keyValues(*req);
    EXPECT_TRUE(params.isMutable());
    EXPECT_EQ(params, Value(ns::Dictionary{{"uid", Value(req->uid)}, {"userName", Value("13800000000")}}));  // no password
    EXPECT_EQ(params["uid"].kind(), Value::Kind::Int);
    EXPECT_EQ(params["uid"].int64Value(), 9007199254740993);
    EXPECT_EQ(mm_JSONString(Value(req)), R"({"uid":9007199254740993,"userName":"13800000000"})");
    EXPECT_EQ(mm_keyValuesWithKeys(*req, {"uid"}), Value(ns::Dictionary{{"uid", Value(req->uid)}}));
    EXPECT_EQ(mm_keyValuesWithIgnoredKeys(*req, {"uid"}), Value(ns::Dictionary{{"userName", Value("13800000000")}}));

    auto rsp = mm_objectWithKeyValues<BookListRsp>(json(R"({"result": 1, "bookList": [{"bookId": 1, "isNew": true,
        "link": "http://x/y", "author": {"name": "n"}}]})"));
    Value back = mm_keyValues(*rsp);
    const Value& book = back["bookList"][0];
    EXPECT_TRUE(book["isNew"].isBool());
    EXPECT_EQ(book["link"], Value("http://x/y"));
    EXPECT_EQ(book["author"], Value(ns::Dictionary{{"age", Value(0)}, {"name", Value("n")}}));
    EXPECT_EQ(back["msg"], Value(""));

    Value array = mm_keyValuesArrayWithObjectArray(Author::classObject(), Value(ns::Array{Value(rsp->bookList[0]->author), Value("t")}),
                                                   {"name"});
    EXPECT_EQ(array, Value(ns::Array{Value(ns::Dictionary{{"name", Value("n")}}), Value("t")}));
    EXPECT_EQ(mm_keyValuesArrayWithObjectArray(Author::classObject(), Value(ns::Array{Value(rsp->bookList[0]->author)}), {}, {"age"}),
              Value(ns::Array{Value(ns::Dictionary{{"name", Value("n")}})}));
    EXPECT_EQ(mm_JSONObject(Value("{bad")), Value());
}

TEST(MMKeyValue, WritesAndReadsReplacedKeyPaths) {
    const ns::Class& cls = Profile::classObject();
    mm_setupReplacedKeyFromPropertyName(cls, [] {
        return ns::Dictionary{{"city", Value("a.b[1]")}, {"second", Value("a.b[0]")}, {"negative", Value("n[-1]")},
                              {"info", Value("d")}, {"inside", Value("d.x")}, {"hidden", Value("[3]")}};
    });
    Profile p;
    p.city = "Hangzhou";
    p.second = 2;
    p.negative = 5;
    p.info = ns::Dictionary{{"k", Value(1)}};
    p.inside = "lost";
    p.hidden = "never";
    Value d = mm_keyValues(p);
    // a.b is made as an array and padded; an immutable container (d, written by "info") and a negative
    // index skip their writes; a property without a key path is not written.
    EXPECT_EQ(d, Value(ns::Dictionary{{"a", Value(ns::Dictionary{{"b", Value(ns::Array{Value(2), Value("Hangzhou")})}})},
                                      {"d", Value(ns::Dictionary{{"k", Value(1)}})}}));
    Profile q;
    mm_setKeyValues(q, d);
    EXPECT_EQ(q.city, "Hangzhou");
    EXPECT_EQ(q.second, 2);
    EXPECT_EQ(q.negative, 0);

    mm_referenceReplacedKeyWhenCreatingKeyValues(cls, false);
    Value byName = mm_keyValues(p);
    EXPECT_EQ(byName["city"], Value("Hangzhou"));
    EXPECT_EQ(byName["hidden"], Value("never"));
    mm_referenceReplacedKeyWhenCreatingKeyValues(cls, true);
    mm_setupReplacedKeyFromPropertyName(cls, nullptr);
}

TEST(MMKeyValue, HooksShapeConversions) {
    auto shelf = mm_objectWithKeyValues<Shelf>(json(R"({"label": "top", "secret": "s",
        "boxes": [{"items": [{"code": "a"}, {"code": "b"}]}, {"items": [{"code": "c"}]}, {"items": []}]})"));
    ASSERT_NE(shelf, nullptr);
    EXPECT_EQ(shelf->label, "[top]");
    EXPECT_EQ(shelf->secret, "");
    EXPECT_EQ(shelf->converted, 1);
    // Each Box re-registered its configuration mid-conversion; the conversion kept the list it started with.
    ASSERT_EQ(shelf->boxes.size(), 3u);
    ASSERT_EQ(shelf->boxes[0]->items.size(), 2u);
    EXPECT_EQ(shelf->boxes[0]->items[1]->code, "b");
    EXPECT_EQ(shelf->boxes[1]->items[0]->code, "c");

    shelf->secret = "s";
    Value d = mm_keyValues(*shelf);
    EXPECT_EQ(shelf->built, 1);
    EXPECT_FALSE(d.asDictionary()->contains("secret"));
    EXPECT_EQ(d["boxes"][1], Value(ns::Dictionary{{"items", Value(ns::Array{Value(ns::Dictionary{{"code", Value("c")}})})}}));

    mm_setupAllowedPropertyNames(Author::classObject(), [] { return ns::Array{Value("name")}; });
    auto author = mm_objectWithKeyValues<Author>(json(R"({"name": "n", "age": 3})"));
    EXPECT_EQ(author->age, 0);
    EXPECT_EQ(mm_keyValues(*author), Value(ns::Dictionary{{"name", Value("n")}}));
    mm_setupAllowedPropertyNames(Author::classObject(), nullptr);

    mm_setupNewValueFromOldValue(Item::classObject(), [](ns::Object&, const Value& old, const MMProperty&) {
        return old.isNil() ? Value("default") : old;
    });
    EXPECT_EQ(mm_objectWithKeyValues<Item>(Value(ns::Dictionary{}))->code, "default");
    EXPECT_EQ(mm_objectWithKeyValues<Item>(json(R"({"code": 5})"))->code, "5");
    mm_setupNewValueFromOldValue(Item::classObject(), nullptr);
}

TEST(MMKeyValue, StopsAtTheNestingCap) {
    Value deep(ns::Dictionary{{"level", Value(0)}});
    for (int i = 1; i < 1000; ++i) deep = Value(ns::Dictionary{{"level", Value(i)}, {"child", deep}});
    auto top = mm_objectWithKeyValues<Node>(deep);
    ASSERT_NE(top, nullptr);
    int depth = 1;
    for (auto n = top->child; n; n = n->child) ++depth;
    EXPECT_EQ(depth, MMMaxNestingDepth);
    EXPECT_EQ(errorOf(Node::classObject()), "嵌套层数超过上限/250");

    auto cycle = std::make_shared<Node>();
    cycle->child = cycle;
    Value d = mm_keyValues(*cycle);
    EXPECT_TRUE(d.isDictionary());
    EXPECT_EQ(errorOf(Node::classObject()), "嵌套层数超过上限/250");
    cycle->child.reset();

    Value arrays = Value(ns::Array{});
    for (int i = 0; i < 1000; ++i) arrays = Value(ns::Array{arrays});
    EXPECT_TRUE(mm_objectArrayWithKeyValuesArray(Node::classObject(), arrays).isArray());
    EXPECT_EQ(errorOf(Node::classObject()), "嵌套层数超过上限/250");
}

TEST(MMKeyValue, ConvertsFromSeveralThreads) {
    const Value reply = json(R"({"result": 1, "bookList": [{"bookId": 1, "author": {"name": "a"}}, {"bookId": 2}]})");
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto rsp = mm_objectWithKeyValues<BookListRsp>(reply);
                if (rsp && rsp->bookList.size() == 2 && rsp->bookList[0]->author->name == "a" &&
                    mm_keyValues(*rsp)["bookList"][1]["bookId"] == Value(2))
                    ++good;
            }
        });
    }
    // Meanwhile other configuration keeps emptying every class's caches.
    for (int i = 0; i < 200; ++i)
        mm_setupReplacedKeyFromPropertyName(Item::classObject(), [i] { return ns::Dictionary{{"code", Value(i % 2 ? "c" : "d")}}; });
    for (auto& t : threads) t.join();
    mm_setupReplacedKeyFromPropertyName(Item::classObject(), nullptr);
    EXPECT_EQ(good.load(), 600);
}

TEST(MMKeyValue, GoesThroughKeyValueCodingAndObservation) {
    EXPECT_FALSE(Book::classObject().overridesKeyValueCoding());
    EXPECT_TRUE(AuditedChild::classObject().overridesKeyValueCoding());
    auto child = mm_objectWithKeyValues<AuditedChild>(json(R"({"note": "n", "level": 2})"));
    EXPECT_EQ(child->note, "audited n");
    EXPECT_EQ(child->writes, 2);
    EXPECT_EQ(mm_keyValues(*child)["level"], Value(2));
    EXPECT_EQ(child->reads, 2);

    auto author = std::make_shared<Author>();
    std::vector<Value> seen;
    auto observation = author->addObserver("name", ns::KeyValueObservingOptionNew,
                                           [&](const ns::KeyValueChange& change) { seen.push_back(change.newValue); });
    mm_setKeyValues(*author, json(R"({"name": "watched", "age": 1})"));
    EXPECT_EQ(seen, std::vector<Value>{Value("watched")});
}

TEST(MMKeyValue, ReadsPropertyListFiles) {
    ns::TemporarySandbox sandbox;
    auto write = [&](const char* name, const Value& plist) {
        std::string path = sandbox.path() + "/" + name;
        EXPECT_TRUE(ns::writeToFile(*ns::PropertyListSerialization::dataWithPropertyList(plist, ns::PropertyListFormat::XML, nullptr),
                                    path, 0));
        return path;
    };
    const std::string one = write("one.plist", json(R"({"name": "from file", "age": 70})"));
    const std::string list = write("list.plist", json(R"([{"name": "a"}, {"name": "b"}])"));
    auto author = mm_objectWithFile(Author::classObject(), one);
    ASSERT_NE(author, nullptr);
    EXPECT_EQ(std::static_pointer_cast<Author>(author)->age, 70);
    EXPECT_EQ(mm_objectArrayWithFile(Author::classObject(), list).count(), 2u);
    EXPECT_EQ(mm_objectWithFile(Author::classObject(), list), nullptr);  // an array is no dictionary
    EXPECT_EQ(errorOf(Author::classObject()), "keyValues参数不是一个字典/250");
}

TEST(MMKeyValue, BaseClassConfigurationServesSubclasses) {
    const ns::Class& base = BaseRsp::classObject();
    mm_setupReplacedKeyFromPropertyName(base, [] { return ns::Dictionary{{"msg", Value("info.message")}}; });
    mm_setupIgnoredPropertyNames(base, [] { return ns::Array{Value("plain")}; });
    mm_setupNewValueFromOldValue(base, [](ns::Object&, const Value& old, const MMProperty& p) {
        return p.name() == "result" && old.isNil() ? Value(-1) : old;
    });
    auto rsp = mm_objectWithKeyValues<BookListRsp>(json(R"({"info": {"message": "hi"}, "plain": 1, "bookList": []})"));
    EXPECT_EQ(rsp->msg, "hi");
    EXPECT_EQ(rsp->result, -1);
    EXPECT_TRUE(rsp->plain.isNil());
    EXPECT_EQ(mm_keyValues(*rsp), json(R"({"bookList": [], "info": {"message": "hi"}, "result": -1})"));
    mm_referenceReplacedKeyWhenCreatingKeyValues(base, false);
    EXPECT_EQ(mm_keyValues(*rsp), json(R"({"bookList": [], "msg": "hi", "result": -1})"));
    mm_referenceReplacedKeyWhenCreatingKeyValues(base, true);
    mm_setupNewValueFromOldValue(base, nullptr);
    mm_setupIgnoredPropertyNames(base, nullptr);
    mm_setupReplacedKeyFromPropertyName(base, nullptr);
}
