#include <gtest/gtest.h>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Object.h"

using namespace ql::ns;

namespace {

class Book : public Object {
    QL_OBJECT(Book, Object)
    QL_PROPERTY(std::string, title)
    QL_PROPERTY(std::int64_t, uid)
    QL_PROPERTY(bool, flag)
    QL_PROPERTY(double, x)
    QL_PROPERTY(std::vector<std::shared_ptr<Book>>, list)
    QL_PROPERTY(std::optional<std::string>, note)
};

class Novel : public Book {
    QL_OBJECT(Novel, Book)
    QL_PROPERTY(std::shared_ptr<Book>, sequel)
    QL_PROPERTY(std::int32_t, pages, "Ti,R,N,V_pages")
};

class Counter : public Object {
    QL_OBJECT(Counter, Object)
public:
    void setCount(std::int64_t value) { changeValue("count", count_, value); }
    Value valueForKey(std::string_view key) const override {
        return key == "count" ? Value(count_) : Object::valueForKey(key);
    }

private:
    std::int64_t count_ = 0;
};

}  // namespace

TEST(Class, RegistryDescribesDeclaredProperties) {
    const Class* book = Class::named("Book");
    ASSERT_NE(book, nullptr);
    EXPECT_EQ(book, &Book::classObject());
    EXPECT_EQ(book->superclass(), &Object::classObject());
    EXPECT_EQ(Object::classObject().name(), "NSObject");

    std::vector<std::string> attributes;
    for (const auto& p : book->properties()) attributes.push_back(p.attributes);
    EXPECT_EQ(attributes, (std::vector<std::string>{"T@\"NSString\",C,N,V_title", "Tq,N,V_uid", "TB,N,V_flag",
                                                    "Td,N,V_x", "T@\"NSArray\",&,N,V_list",
                                                    "T@\"NSString\",C,N,V_note"}));
    EXPECT_EQ(book->properties()[0].typeEncoding(), "@\"NSString\"");

    const Class* novel = Class::named("Novel");
    ASSERT_NE(novel, nullptr);
    ASSERT_EQ(novel->properties().size(), 2u);
    EXPECT_EQ(novel->properties()[0].attributes, "T@\"Book\",&,N,V_sequel");
    EXPECT_EQ(novel->properties()[1].attributes, "Ti,R,N,V_pages");
    EXPECT_NE(novel->propertyNamed("uid"), nullptr);  // inherited
    EXPECT_TRUE(novel->isSubclassOf(*book));
    EXPECT_FALSE(book->isSubclassOf(*novel));

    auto made = novel->createInstance();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->className(), "Novel");
    EXPECT_TRUE(made->isKindOfClass(*book));
    EXPECT_EQ(Class::named("NoSuchClass"), nullptr);
}

TEST(Object, KeyValueCodingBoxesAndUnboxes) {
    auto n = std::make_shared<Novel>();
    std::int64_t big = (std::int64_t{1} << 53) + 1;
    n->setValueForKey(Value(big), "uid");
    EXPECT_EQ(n->uid, big);
    EXPECT_EQ(n->valueForKey("uid").kind(), Value::Kind::Int);
    n->setValueForKey(Value("12"), "uid");
    EXPECT_EQ(n->uid, 12);
    n->setValueForKey(Value(), "uid");  // nil leaves a scalar alone
    EXPECT_EQ(n->uid, 12);
    n->setValueForKey(Value(1), "flag");
    EXPECT_TRUE(n->valueForKey("flag").isBool());
    n->setValueForKey(Value(5), "title");
    EXPECT_EQ(n->title, "5");
    EXPECT_TRUE(n->valueForKey("note").isNil());
    n->setValueForKey(Value(""), "note");
    EXPECT_EQ(n->note, std::optional<std::string>(""));

    auto b = std::make_shared<Book>();
    n->setValueForKey(Value(Array{Value(b), Value("not a book")}), "list");
    ASSERT_EQ(n->list.size(), 1u);
    EXPECT_EQ(n->list[0], b);
    n->setValueForKey(Value(b), "sequel");
    EXPECT_EQ(n->sequel, b);

    try {
        n->valueForKey("missing");
        FAIL() << "an unknown key must raise";
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), "NSUnknownKeyException");
    }
}

TEST(Object, AssociatedValuesByPolicy) {
    static const char strongKey = 0, weakKey = 0;
    auto owner = std::make_shared<Object>();
    auto strong = std::make_shared<Object>();
    auto weak = std::make_shared<Object>();
    owner->setAssociatedValue(&strongKey, Value(strong));
    owner->setAssociatedValue(&weakKey, Value(weak), Association::Weak);
    EXPECT_EQ(owner->associatedValue(&strongKey).asObject(), strong);
    EXPECT_EQ(owner->associatedValue(&weakKey).asObject(), weak);
    std::weak_ptr<Object> strongWatch = strong;
    strong.reset();
    weak.reset();
    EXPECT_FALSE(strongWatch.expired());
    EXPECT_TRUE(owner->associatedValue(&weakKey).isNil());
    owner->setAssociatedValue(&strongKey, Value());
    EXPECT_TRUE(strongWatch.expired());
}

TEST(Object, KeyValueObservationWithInitialAndPrior) {
    auto counter = std::make_shared<Counter>();
    counter->setCount(1);
    std::vector<std::string> log;
    auto token = counter->addObserver(
        "count", KeyValueObservingOptionNew | KeyValueObservingOptionOld | KeyValueObservingOptionInitial |
                     KeyValueObservingOptionPrior,
        [&](const KeyValueChange& c) {
            log.push_back(std::string(c.isPrior ? "prior" : "change") + " old=" + c.oldValue.description() +
                          " new=" + c.newValue.description());
        });
    counter->setCount(2);
    EXPECT_EQ(log, (std::vector<std::string>{"change old=(null) new=1", "prior old=1 new=(null)",
                                             "change old=1 new=2"}));
    token.invalidate();
    counter->setCount(3);
    EXPECT_EQ(log.size(), 3u);
}

TEST(Object, ObservationSurvivesEitherSideGoingAway) {
    auto counter = std::make_shared<Counter>();
    int calls = 0;
    KeyValueObservation second;
    auto first = counter->addObserver("count", KeyValueObservingOptionNew, [&](const KeyValueChange&) {
        ++calls;
        second.invalidate();  // removed during delivery: must not be called for this change
    });
    second = counter->addObserver("count", KeyValueObservingOptionNew, [&](const KeyValueChange&) { ++calls; });
    counter->setCount(5);
    EXPECT_EQ(calls, 1);
    counter.reset();
    first.invalidate();  // the observed object is gone: harmless
    EXPECT_FALSE(first.isValid());
}
