#include <gtest/gtest.h>

#include "mapping/MMCoding.h"
#include "mapping/MMDeprecated.h"
#include "platform/foundation/Coding.h"

using namespace ql;
using ns::Value;

namespace {

class Member : public ns::Object, public ns::Coding {
    QL_OBJECT(Member, ns::Object)
    QL_PROPERTY(std::int64_t, uid)
    QL_PROPERTY(std::optional<std::string>, phone)
    QL_PROPERTY(std::optional<std::string>, password)
    QL_PROPERTY(bool, vip)
    QL_PROPERTY(double, score)
    QL_PROPERTY(Value, tags)
public:
    void encodeWithCoder(ns::KeyedArchiver& coder) const override {
        if (legacyKeys) {
            coder.encodeObject(Value("old"), "_phone");
            coder.encodeObject(Value(9), "_uid");
            return;
        }
        mm_encode(*this, coder);
    }
    bool initWithCoder(ns::KeyedUnarchiver& coder) override {
        mm_decode(*this, coder);
        return true;
    }
    static inline bool legacyKeys = false;
};

// Uses an older name in its initialiser, as one of the app's reply models does.
class ChangePasswordReq : public ns::Object {
    QL_OBJECT(ChangePasswordReq, ns::Object)
    QL_PROPERTY(std::string, NEWPassword)
public:
    ChangePasswordReq() {
        setupReplacedKeyFromPropertyName(classObject(), [] { return ns::Dictionary{{"NEWPassword", Value("newPassword")}}; });
    }
};

std::shared_ptr<Member> roundTrip(const Member& m) {
    std::shared_ptr<Member> source = std::make_shared<Member>();
    mm_setKeyValues(*source, mm_keyValues(m));
    ns::Error error("", 0);
    auto data = ns::KeyedArchiver::archivedDataWithRootObject(Value(source), &error);
    EXPECT_TRUE(data) << error.description();
    if (!data) return nullptr;
    return ns::KeyedUnarchiver::unarchiveObjectWithData(*data, &error).asObject<Member>();
}

}  // namespace

TEST(MMCoding, ArchivesPropertyByProperty) {
    Member m;
    m.uid = (std::int64_t{1} << 53) + 1;
    m.phone = "13800000000";
    m.vip = true;
    m.score = 2.5;
    m.tags = ns::Array{Value("a"), Value(1)};
    auto back = roundTrip(m);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->uid, m.uid);
    EXPECT_EQ(back->phone, m.phone);
    EXPECT_FALSE(back->password.has_value());  // had no value, so it was not written
    EXPECT_TRUE(back->vip);
    EXPECT_EQ(back->score, 2.5);
    EXPECT_EQ(back->tags, m.tags);

    // Archives keyed by backing-field names restore too.
    Member::legacyKeys = true;
    auto legacy = roundTrip(Member());
    Member::legacyKeys = false;
    ASSERT_NE(legacy, nullptr);
    EXPECT_EQ(legacy->phone, "old");
    EXPECT_EQ(legacy->uid, 9);

    // Only the allowed coding names are written; ignored ones are neither written nor read.
    mm_setupAllowedCodingPropertyNames(Member::classObject(), [] { return ns::Array{Value("phone"), Value("uid")}; });
    mm_setupIgnoredCodingPropertyNames(Member::classObject(), [] { return ns::Array{Value("uid")}; });
    auto chosen = roundTrip(m);
    mm_setupAllowedCodingPropertyNames(Member::classObject(), nullptr);
    mm_setupIgnoredCodingPropertyNames(Member::classObject(), nullptr);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->phone, m.phone);
    EXPECT_EQ(chosen->uid, 0);
    EXPECT_FALSE(chosen->vip);
}

TEST(MMDeprecated, OlderNamesForward) {
    Member m;
    ns::Error error("none", 0);
    EXPECT_EQ(&setKeyValues(m, Value("[1, 2]"), &error), &m);
    EXPECT_EQ(error.domain(), "keyValues参数不是一个字典");
    EXPECT_EQ(error.code(), 250);
    EXPECT_EQ(&setKeyValues(m, Value(ns::Dictionary{{"uid", Value(3)}}), nullptr), &m);
    EXPECT_EQ(m.uid, 3);

    const Value photos(ns::Array{Value("aGk="), Value("eW8=")});
    EXPECT_EQ(keyValues(photos), photos);
    EXPECT_EQ(JSONString(Value(*JSONData(photos))), R"(["aGk=","eW8="])");
    EXPECT_EQ(objectWithKeyValues(Member::classObject(), Value(R"({"uid": 4})"), &error)->valueForKey("uid"), Value(4));
    EXPECT_EQ(objectArrayWithKeyValuesArray(Member::classObject(), Value("{}"), &error), Value());
    EXPECT_EQ(error.domain(), "keyValuesArray参数不是一个数组");

    auto req = std::make_shared<ChangePasswordReq>();
    req->NEWPassword = "secret";
    EXPECT_EQ(keyValues(Value(req)), Value(ns::Dictionary{{"newPassword", Value("secret")}}));
    EXPECT_EQ(url("http://a/b c")->absoluteString(), "http://a/b%20c");
}

TEST(MMExtension, ConvertsNameStyles) {
    EXPECT_EQ(mm_underlineFromCamel("userName"), "user_name");
    EXPECT_EQ(mm_underlineFromCamel("URL"), "_u_r_l");
    EXPECT_EQ(mm_underlineFromCamel(""), "");
    EXPECT_EQ(mm_camelFromUnderline("user_name_id"), "userNameId");
    EXPECT_EQ(mm_camelFromUnderline("a__b_"), "aB");
    EXPECT_EQ(mm_camelFromUnderline("_x"), "X");
    EXPECT_EQ(mm_camelFromUnderline("a_ébc"), "aÉbc");
    EXPECT_EQ(mm_firstCharLower("ABC"), "aBC");
    EXPECT_EQ(mm_firstCharUpper("abc"), "Abc");
    EXPECT_EQ(mm_firstCharUpper(""), "");
    for (const char* pure : {"12", " -7 ", "+0", "99999999999"}) EXPECT_TRUE(mm_isPureInt(pure)) << pure;
    for (const char* impure : {"", "-", "1.5", "12a", "a12", "1 2"}) EXPECT_FALSE(mm_isPureInt(impure)) << impure;
    EXPECT_EQ(mm_url("http://x/a b#frag")->absoluteString(), "http://x/a%20b#frag");
    EXPECT_FALSE(mm_url(""));
    EXPECT_FALSE(mm_url("50%"));
}
