#include <gtest/gtest.h>

#include "app/service/AccountModels.h"
#include "app/service/BookModels.h"
#include "app/service/ReadingModels.h"
#include "app/session/Account.h"
#include "mapping/MMKeyValue.h"
#include "platform/foundation/JSONSerialization.h"

using namespace ql;
using ns::Value;

namespace {

Value json(std::string_view text) {
    Value value = ns::JSONSerialization::JSONObjectWithData(text, 0, nullptr);
    EXPECT_FALSE(value.isNil()) << text;
    return value;
}

// Signs a student in for the scope of a test.
class SignedIn {
public:
    explicit SignedIn(std::int64_t uid) {
        auto info = std::make_shared<LoginRsp>();
        info->uid = uid;
        Account::share().setInfo(info);
    }
    ~SignedIn() { Account::share().setInfo(nullptr); }
};

}  // namespace

// Runs first, so that these element classes are mapped here for the first time in the process.
TEST(ReplyModelTest, NestedElementClassesHoldFromTheFirstMapping) {
    auto exam = replyModel<CreateExamRsp>(json(R"({"result":1,"myexamId":7,"questionList":[
        {"QuestionId":17,"Index":1,"QeustionContentHtml":"<p>问</p>","AnswerList":[
            {"AnswerId":305,"Order":1,"OrderStr":"A","AnswerContent":"王子"},{"AnswerId":306,"Order":2}]}]})"));
    ASSERT_EQ(exam->questionList.size(), 1u);
    const auto& question = exam->questionList[0];
    EXPECT_EQ(question->QuestionId, "17");  // a number where the model keeps a text
    EXPECT_EQ(question->QeustionContentHtml, "<p>问</p>");
    ASSERT_EQ(question->AnswerList.size(), 2u);
    EXPECT_EQ(question->AnswerList[0]->AnswerId, 305);
    EXPECT_EQ(question->AnswerList[1]->Order, 2);

    auto history = replyModel<GetMyTestInfoRsq>(json(R"({"result":1,"testList":[{"DateTime":"2016-05-03",
        "BookList":[{"BookId":2,"Score":80,"IsPass":1,"isFeeded":true,"TestId":1}]}]})"));
    ASSERT_EQ(history->testList.size(), 1u);
    ASSERT_EQ(history->testList[0]->BookList.size(), 1u);
    const auto& test = history->testList[0]->BookList[0];
    EXPECT_EQ(test->BookId, "2");
    EXPECT_EQ(test->Score, "80");
    EXPECT_EQ(test->IsPass, "1");
    EXPECT_TRUE(test->isFeeded);

    auto collection = replyModel<GetMyCollectInfoRsq>(json(R"({"collectionList":[{"BookList":[{"BookName":"小王子"}]}]})"));
    ASSERT_EQ(collection->collectionList.size(), 1u);
    EXPECT_EQ(collection->collectionList[0]->BookList.at(0)->BookName, "小王子");
}

TEST(ReplyModelTest, EachReplyKeepsItsOwnKinds) {
    auto login = replyModel<LoginRsp>(json(R"({"result":2,"msg":"请绑定手机号","count":5,"uid":1002,
        "flowerNumber":12,"user":{"ClassId":301,"Grade":3},"sortList":[{"SortName":"童话故事","SortId":3}],
        "bookList":[{"BookId":2,"BookName":"安徒生童话","FlowerCount":342}]})"));
    EXPECT_EQ(login->result, 2);
    EXPECT_EQ(login->count, 5);
    EXPECT_EQ(login->flowerNumber, "12");
    ASSERT_NE(login->user, nullptr);
    EXPECT_EQ(login->user->ClassId, "301");
    ASSERT_EQ(login->sortList.size(), 1u);
    EXPECT_EQ(login->sortList[0]->SortId, "3");
    ASSERT_EQ(login->bookList.size(), 1u);
    EXPECT_EQ(login->bookList[0]->FlowerCount, 342);

    auto home = replyModel<GetStuIndexContentRsp>(json(R"({"result":1,"count":5,"rank":2,"bookList":[{"BookId":1}]})"));
    EXPECT_EQ(home->count, "5");
    EXPECT_EQ(home->rank, "2");
    ASSERT_EQ(home->bookList.size(), 1u);

    auto rank = replyModel<RankRsp>(json(R"({"result":1,"RankList":[{"UserId":1001,"RowIndex":1}],
        "MyRank":{"UserId":1001,"RealName":"林小雨","RowIndex":1,"FlowerNumber":36}})"));
    ASSERT_EQ(rank->RankList.size(), 1u);
    ASSERT_NE(rank->MyRank, nullptr);
    EXPECT_TRUE(rank->MyRank->isKindOfClass(StudentListModel::classObject()));
    EXPECT_EQ(rank->MyRank->className(), "MyRank");
    EXPECT_EQ(rank->MyRank->FlowerNumber, 36);

    auto page = replyModel<GetStudentPersonHomeIndextRsp>(json(R"({"user":{"UserId":1003,"Grade":3},
        "testList":[{"BookId":2,"AdminUserId":1003}],"bookList":[{"BookId":6},{"BookId":8}]})"));
    ASSERT_EQ(page->testList.size(), 1u);
    ASSERT_EQ(page->bookList.size(), 2u);
    EXPECT_EQ(page->testList[0]->AdminUserId, 1003);
    EXPECT_EQ(page->bookList[1]->BookId, 8);
    EXPECT_EQ(page->user->Grade, 3);

    auto feel = replyModel<GetSingleFeelRsp>(json(R"({"feel":{"FeelId":1,"ImgageUrlList":["http://a/1.jpg","http://a/2.jpg"]}})"));
    ASSERT_NE(feel->feel, nullptr);
    EXPECT_EQ(feel->feel->ImgageUrlList, (std::vector<std::string>{"http://a/1.jpg", "http://a/2.jpg"}));

    // The category tree stays as parsed: the book store builds its menu entries itself.
    auto sorts = replyModel<GetBookSortTreeRsp>(json(R"({"sortList":[{"SortId":1,"SortName":"童话故事"}]})"));
    ASSERT_EQ(sorts->sortList.size(), 1u);
    EXPECT_TRUE(sorts->sortList[0].isDictionary());

    auto books = replyModel<GetBookListRsp>(json(R"({"result":1,"totalCount":0})"));
    EXPECT_TRUE(books->bookList.empty());
}

TEST(ReplyModelTest, AReplyThatIsNoObjectIsAnEmptyRefusal) {
    for (const Value& reply : {json("[1,2]"), json(R"([{"result":1}])"), Value("text"), Value(1), Value()}) {
        auto login = replyModel<LoginRsp>(reply);
        ASSERT_NE(login, nullptr);
        EXPECT_EQ(login->result, 0);
        EXPECT_EQ(login->msg, "");
        EXPECT_EQ(login->user, nullptr);
    }
}

TEST(RequestModelTest, FieldsAreThePropertiesAndUidComesFromTheSession) {
    auto signIn = std::make_shared<LoginReq>();
    signIn->userName = "13800000001";
    signIn->password = "123456";
    EXPECT_EQ(mm_keyValues(*signIn), Value(ns::Dictionary{{"uid", 0}, {"userName", "13800000001"}, {"password", "123456"}}));

    // An absent text is left out; an empty one is sent empty.
    signIn->password.reset();
    EXPECT_EQ(mm_keyValues(*signIn), Value(ns::Dictionary{{"uid", 0}, {"userName", "13800000001"}}));
    signIn->password = "";
    EXPECT_EQ(mm_keyValues(*signIn)["password"], Value(""));

    std::shared_ptr<SetNewPasswordReq> change;
    {
        SignedIn session(1234);
        change = std::make_shared<SetNewPasswordReq>();
        EXPECT_EQ(std::make_shared<BaseReq>()->uid, 1234);
        Account::share().info()->uid = 99;  // the session changes before the request is sent
    }
    change->type = 1;
    change->NEWPassword = "654321";
    change->oldPassword = "123456";
    EXPECT_EQ(mm_keyValues(*change), Value(ns::Dictionary{{"uid", 1234}, {"type", 1}, {"NEWPassword", "654321"},
                                                          {"oldPassword", "123456"}}));
    EXPECT_EQ(std::make_shared<CollectListReq>()->uid, 0);  // signed out again
}

TEST(BookSortModelTest, FilterMenus) {
    const auto grades = BookSortModel::arrayForGradeMenu();
    const std::vector<std::string> names = {"全部年级", "1年级", "2年级", "3年级", "4年级", "5年级", "6年级"};
    ASSERT_EQ(grades.size(), names.size());
    for (std::size_t i = 0; i < grades.size(); ++i) {
        EXPECT_EQ(grades[i]->SortName, names[i]);
        EXPECT_EQ(grades[i]->gradeId, static_cast<std::int64_t>(i));
        EXPECT_EQ(grades[i]->SortId, 0);
        EXPECT_EQ(grades[i]->orderbytype, 0);
    }

    const auto orders = BookSortModel::arrayForSortMenuWithSortNameArray({"最新", "最热", "评分", "书名"});
    std::vector<std::int64_t> codes;
    for (const auto& entry : orders) codes.push_back(entry->orderbytype);
    EXPECT_EQ(codes, (std::vector<std::int64_t>{2, 1, 3, 4}));
    EXPECT_EQ(orders[2]->SortName, "评分");
    EXPECT_EQ(BookSortModel::arrayForSortMenuWithSortNameArray({"最新"}).at(0)->orderbytype, 2);
    EXPECT_TRUE(BookSortModel::arrayForSortMenuWithSortNameArray({}).empty());
}
