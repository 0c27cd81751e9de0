// The service client and its transport against the stand-in service on loopback.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/service/AccountModels.h"
#include "app/service/BaseNetHTTPManager.h"
#include "app/service/BookModels.h"
#include "app/service/NetHttpClientRequest.h"
#include "app/service/ReadingModels.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/session/Account.h"
#include "net/NetURLResponseSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/URLError.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;
using standin::Fault;
using standin::StandinService;
using Fields = std::map<std::string, std::string>;
using Completion = StudentNetWorkApiManager::Completion;
using Failure = StudentNetWorkApiManager::Failure;

namespace {

struct Outcome {
    bool done = false;
    int calls = 0;
    ns::Value reply;
    std::optional<std::string> failure;
};

// Sends through `send` and pumps the main run loop until one of the blocks has run.
Outcome await(const std::function<void(Completion, Failure)>& send) {
    Outcome outcome;
    send(
        [&](const ns::Value& reply) {
            outcome.reply = reply;
            outcome.done = true;
            ++outcome.calls;
        },
        [&](const std::string& message) {
            outcome.failure = message;
            outcome.done = true;
            ++outcome.calls;
        });
    EXPECT_TRUE(ns::RunLoop::main()->runUntil([&] { return outcome.done; }, 20));
    return outcome;
}

class ServiceClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv(ServiceBaseURLEnvironmentVariable.data(), service.baseURL().c_str(), 1);
        Account::share().setInfo(nullptr);
    }
    void TearDown() override {
        ::unsetenv(ServiceBaseURLEnvironmentVariable.data());
        Account::share().setInfo(nullptr);
    }

    // The form fields of the last request to the path.
    Fields lastFields(std::string_view path) const {
        const auto requests = service.journal(path);
        if (requests.empty()) return {{"<no request>", std::string(path)}};
        const auto& fields = requests.back().fields;
        return Fields(fields.begin(), fields.end());
    }

    void signIn(std::int64_t uid) {
        auto info = std::make_shared<LoginRsp>();
        info->uid = uid;
        Account::share().setInfo(info);
    }

    StandinService service;
};

template <class Rsp>
std::shared_ptr<Rsp> mapped(const ns::Value& reply) {
    auto model = replyModel<Rsp>(reply);
    EXPECT_EQ(model->result, 1) << reply.description();
    return model;
}

// What the rows below carry from one operation to a later one.
struct Journey {
    std::int64_t myexamId = 0;
    std::string answerdata;
    std::int64_t feelId = 0;
    std::int64_t commentId = 0;
};

struct Operation {
    std::string path;
    std::function<void(Journey&, Completion, Failure)> send;
    Fields fields;  // besides uid
    std::function<void(const ns::Value&, Journey&)> check;
};

template <class Req>
using Call = void (*)(const Req&, Completion, Failure);

// A row's sender: a new request model (made after sign-in, so it carries the session's uid), filled.
template <class Req>
std::function<void(Journey&, Completion, Failure)> sending(Call<Req> call,
                                                          std::function<void(Req&, const Journey&)> fill = {}) {
    return [call, fill](Journey& journey, Completion completion, Failure failure) {
        auto request = std::make_shared<Req>();
        if (fill) fill(*request, journey);
        call(*request, std::move(completion), std::move(failure));
    };
}

using S = StudentNetWorkApiManager;

std::vector<Operation> operationTable() {
    return {
        {"Mobile/StudentLogin", sending<LoginReq>(S::request_Login_WithParams, [](LoginReq& r, const Journey&) {
             r.userName = "13800000001";
             r.password = "123456";
         }),
         {{"userName", "13800000001"}, {"password", "123456"}},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<LoginRsp>(reply);
             EXPECT_EQ(rsp->uid, 1001);
             ASSERT_TRUE(rsp->user);
             EXPECT_EQ(rsp->user->ClassId, "301");
             ASSERT_FALSE(rsp->sortList.empty());
             EXPECT_FALSE(rsp->sortList[0]->SortName.empty());
             Account::share().setInfo(rsp);
         }},
        {"Mobile/SendVerification",
         sending<SendVerificationReq>(S::request_SendVerification_WithParams,
                                      [](SendVerificationReq& r, const Journey&) {
                                          r.mobile = "13700000009";
                                          r.type = 1;
                                          r.stuType = 1;
                                      }),
         {{"mobile", "13700000009"}, {"type", "1"}, {"stuType", "1"}},
         [](const ns::Value& reply, Journey&) { mapped<SendVerificationRsp>(reply); }},
        {"Mobile/GetPasswordForget",
         sending<GetPasswordForgetReq>(S::request_ForgetVerification_WithParams,
                                       [](GetPasswordForgetReq& r, const Journey&) {
                                           r.mobile = "13800000003";
                                           r.type = "0";
                                       }),
         {{"mobile", "13800000003"}, {"type", "0"}},
         [](const ns::Value& reply, Journey&) { EXPECT_EQ(mapped<GetPasswordForgetRsp>(reply)->uid, 1003); }},
        {"Mobile/ConfirmVerification",
         sending<ConfirmVerificationReq>(S::request_ConfirmVerification_WithParams,
                                         [](ConfirmVerificationReq& r, const Journey&) {
                                             // The screen sends the uid of the code's reply.
                                             r.uid = 1003;
                                             r.code = "123456";
                                             r.mobile = "13800000003";
                                             r.type = 1;
                                             r.stuType = 1;
                                         }),
         {{"uid", "1003"}, {"code", "123456"}, {"mobile", "13800000003"}, {"type", "1"}, {"stuType", "1"}},
         [](const ns::Value& reply, Journey&) { mapped<ConfirmVerificationRsp>(reply); }},
        {"Mobile/GetBookSortTree", sending<GetBookSortTreeReq>(S::request_GetBookSortTree_WithParams), {},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<GetBookSortTreeRsp>(reply);
             ASSERT_FALSE(rsp->sortList.empty());
             EXPECT_TRUE(rsp->sortList[0].isDictionary());
         }},
        {"Mobile/GetBookList", sending<GetBookListReq>(S::request_GetBookList_WithParams, [](GetBookListReq& r, const Journey&) {
             r.pageIndex = 1;
             r.pageSize = 10;
             r.orderbytype = 1;
         }),
         {{"gradeId", "0"}, {"sortId", "0"}, {"pageIndex", "1"}, {"pageSize", "10"}, {"orderbytype", "1"}},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<GetBookListRsp>(reply);
             ASSERT_FALSE(rsp->bookList.empty());
             EXPECT_GT(rsp->bookList[0]->BookId, 0);
             EXPECT_GE(rsp->totalCount, static_cast<std::int64_t>(rsp->bookList.size()));
         }},
        {"Mobile/GetBookDetailShow",
         sending<GetBookDetailShowReq>(S::request_GetBookDetailShow_WithParams,
                                       [](GetBookDetailShowReq& r, const Journey&) { r.bookId = 8; }),
         {{"bookId", "8"}},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<GetBookDetailShowRsp>(reply);
             ASSERT_TRUE(rsp->book);
             EXPECT_EQ(rsp->book->BookId, 8);
         }},
        {"Mobile/AddComment", sending<AddCommentReq>(S::request_AddComment_WithParams, [](AddCommentReq& r, const Journey&) {
             r.bookId = 8;
             r.comment = "小王子 & 玫瑰 = 朋友";
         }),
         {{"bookId", "8"}, {"comment", "小王子 & 玫瑰 = 朋友"}},
         [](const ns::Value& reply, Journey&) { EXPECT_GT(mapped<AddCommentRsp>(reply)->commentCount, 0); }},
        {"Mobile/GetCommentShow",
         sending<GetCommentShowReq>(S::request_GetCommentShow_WithParams, [](GetCommentShowReq& r, const Journey&) {
             r.bookId = 8;
             r.pageIndex = 1;
             r.pageSize = 10;
         }),
         {{"bookId", "8"}, {"pageIndex", "1"}, {"pageSize", "10"}},
         [](const ns::Value& reply, Journey& journey) {
             auto rsp = mapped<GetCommentShowRsp>(reply);
             for (const auto& comment : rsp->commentList) {
                 if (comment->UserId == 1001) journey.commentId = comment->CommentId;
             }
             EXPECT_GT(journey.commentId, 0);
         }},
        {"Mobile/GetRecommendBookList",
         sending<GetRecommendBookListReq>(S::request_GetRecommendBookList_WithParams,
                                          [](GetRecommendBookListReq& r, const Journey&) {
                                              r.bookId = 8;
                                              r.top = 3;
                                          }),
         {{"bookId", "8"}, {"top", "3"}},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<GetRecommendBookListRsp>(reply);
             ASSERT_FALSE(rsp->bookList.empty());
             EXPECT_LE(rsp->bookList.size(), 3u);
             EXPECT_FALSE(rsp->bookList[0]->BookName.empty());
         }},
        {"Mobile/AddBookCollect",
         sending<AddBookCollectReq>(S::request_AddBookCollect_WithParams,
                                    [](AddBookCollectReq& r, const Journey&) { r.bookId = 6; }),
         {{"bookId", "6"}},
         [](const ns::Value& reply, Journey&) { mapped<AddBookCollectRsp>(reply); }},
        {"Mobile/GetMyCollectionInfo",
         sending<CollectListReq>(S::request_GetMyCollectionInfo_WithParams, [](CollectListReq& r, const Journey&) {
             r.pageSize = "10";
             r.pageIndex = "1";
         }),
         {{"pageSize", "10"}, {"pageIndex", "1"}},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<GetMyCollectInfoRsq>(reply);
             ASSERT_FALSE(rsp->collectionList.empty());
             ASSERT_FALSE(rsp->collectionList[0]->BookList.empty());
             EXPECT_FALSE(rsp->collectionList[0]->BookList[0]->BookName.empty());
         }},
        {"Mobile/DeleteBookCollect",
         sending<DeleteBookCollectReq>(S::request_DeleteBookCollect_WithParams,
                                       [](DeleteBookCollectReq& r, const Journey&) { r.bookId = 6; }),
         {{"bookId", "6"}},
         [](const ns::Value& reply, Journey&) { mapped<DeleteBookCollectRsp>(reply); }},
        {"Mobile/AddGood", sending<AddGoodReq>(S::request_AddGood_WithParams, [](AddGoodReq& r, const Journey&) { r.bookId = 6; }),
         {{"bookId", "6"}},
         [](const ns::Value& reply, Journey&) { EXPECT_GT(mapped<AddGoodRsp>(reply)->goodCount, 0); }},
        {"Mobile/CancelGood",
         sending<CancelGoodReq>(S::request_CancelGood_WithParams, [](CancelGoodReq& r, const Journey&) { r.bookId = 6; }),
         {{"bookId", "6"}},
         [](const ns::Value& reply, Journey&) { EXPECT_GE(mapped<CancelGoodRsp>(reply)->goodCount, 0); }},
        {"Mobile/CreateExamByBook",
         sending<CreateExamReq>(S::request_CreateExamByBook_WithParams, [](CreateExamReq& r, const Journey&) { r.bookId = 8; }),
         {{"bookId", "8"}},
         [](const ns::Value& reply, Journey& journey) {
             auto rsp = mapped<CreateExamRsp>(reply);
             EXPECT_GT(rsp->myexamId, 0);
             ASSERT_FALSE(rsp->questionList.empty());
             journey.myexamId = rsp->myexamId;
             for (const auto& question : rsp->questionList) {
                 ASSERT_FALSE(question->AnswerList.empty());
                 // "qid,aid;" per question.
                 journey.answerdata += question->QuestionId + "," + std::to_string(question->AnswerList[0]->AnswerId) + ";";
             }
         }},
        {"Mobile/SaveStudentAnswer",
         sending<SubmitAnserReq>(S::request_SubmitExamByBook_WithParams, [](SubmitAnserReq& r, const Journey& journey) {
             r.answerdata = journey.answerdata;
             r.myexamId = journey.myexamId;
         }),
         {{"answerdata", "<answers>"}, {"myexamId", "<exam>"}},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<SubmitAnserRsp>(reply);
             EXPECT_GE(rsp->Score, 0);
             EXPECT_LE(rsp->Score, 100);
         }},
        {"Mobile/GetMyTestDetail",
         sending<CreateExamReq>(S::request_GetMyTestDetail_WithParams, [](CreateExamReq& r, const Journey&) { r.bookId = 8; }),
         {{"bookId", "8"}},
         [](const ns::Value& reply, Journey&) {
             // A submitted test shows its correct answers.
             auto rsp = mapped<CreateExamRsp>(reply);
             ASSERT_FALSE(rsp->questionList.empty());
             for (const auto& question : rsp->questionList) {
                 EXPECT_EQ(std::count_if(question->AnswerList.begin(), question->AnswerList.end(),
                                         [](const auto& answer) { return answer->AnswerFlag == 1; }),
                           1);
             }
         }},
        {"Mobile/GetMyTestInfo",
         sending<CollectListReq>(S::request_GetMyTestInfo_WithParams, [](CollectListReq& r, const Journey&) {
             r.pageSize = "10";
             r.pageIndex = "1";
         }),
         {{"pageSize", "10"}, {"pageIndex", "1"}},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<GetMyTestInfoRsq>(reply);
             ASSERT_FALSE(rsp->testList.empty());
             ASSERT_FALSE(rsp->testList[0]->BookList.empty());
             EXPECT_FALSE(rsp->testList[0]->BookList[0]->BookId.empty());
         }},
        {"Mobile/AddBookFeel", sending<AddBookFeelReq>(S::request_AddBookFeel_WithParams, [](AddBookFeelReq& r, const Journey&) {
             r.bookId = 8;
             r.content = "我也想有一朵玫瑰。";
             r.imagedata = "[]";
         }),
         {{"bookId", "8"}, {"content", "我也想有一朵玫瑰。"}, {"imagedata", "[]"}},
         [](const ns::Value& reply, Journey& journey) {
             journey.feelId = mapped<PubContentRsp>(reply)->feelId;
             EXPECT_GT(journey.feelId, 0);
         }},
        {"Mobile/GetSingleFeel",
         sending<GetSingleFeelReq>(S::request_GetSingleFeel_WithParams,
                                   [](GetSingleFeelReq& r, const Journey& journey) { r.feelId = journey.feelId; }),
         {{"feelId", "<feel>"}},
         [](const ns::Value& reply, Journey& journey) {
             auto rsp = mapped<GetSingleFeelRsp>(reply);
             ASSERT_TRUE(rsp->feel);
             EXPECT_EQ(rsp->feel->FeelId, journey.feelId);
             EXPECT_EQ(rsp->feel->Content, "我也想有一朵玫瑰。");
         }},
        {"Mobile/GetMyUserInfor", sending<BaseReq>(S::request_GetMyInfor_WithParams), {},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<PersonInfoRsp>(reply);
             ASSERT_TRUE(rsp->user);
             EXPECT_EQ(rsp->user->RealName, "林小雨");
         }},
        {"Mobile/SetNewPassword",
         sending<SetNewPasswordReq>(S::request_SetNewPassword_WithParams, [](SetNewPasswordReq& r, const Journey&) {
             r.type = 1;
             r.NEWPassword = "654321a";
             r.oldPassword = "123456";
         }),
         {{"type", "1"}, {"NEWPassword", "654321a"}, {"oldPassword", "123456"}},
         [](const ns::Value& reply, Journey&) { mapped<SetNewPasswordRsp>(reply); }},
        {"Mobile/PhotoUpdate", sending<PhotoUpdateReq>(S::request_PhotoUpdate_WithParams, [](PhotoUpdateReq& r, const Journey&) {
             r.imagedata = "iVBORw0KGgo=";
         }),
         {{"imagedata", "iVBORw0KGgo="}},
         [](const ns::Value& reply, Journey&) { EXPECT_FALSE(mapped<PhotoUpdateRsp>(reply)->photo.empty()); }},
        {"Mobile/GetMyRank", sending<RankReq>(S::request_GetMyRank_WithParams, [](RankReq& r, const Journey&) { r.ClassId = "301"; }),
         {{"ClassId", "301"}},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<RankRsp>(reply);
             ASSERT_FALSE(rsp->RankList.empty());
             EXPECT_EQ(rsp->RankList[0]->RowIndex, 1);
             ASSERT_TRUE(rsp->MyRank);
             EXPECT_EQ(rsp->MyRank->UserId, 1001);
         }},
        {"Mobile/ChangeMobile", sending<ChangeMobileReq>(S::request_ChangeMobile_WithParams, [](ChangeMobileReq& r, const Journey&) {
             r.code = "909090";
             r.mobile = "13700000009";
             r.stuType = 1;
         }),
         {{"code", "909090"}, {"mobile", "13700000009"}, {"stuType", "1"}},
         [](const ns::Value& reply, Journey&) { mapped<SendVerificationRsp>(reply); }},
        {"Mobile/GetStudentPersonHomeIndex",
         sending<GetStudentPersonHomeIndexReq>(S::request_GetStudentPersonHomeIndex_WithParams,
                                               [](GetStudentPersonHomeIndexReq& r, const Journey&) {
                                                   r.type = 1;
                                                   r.pageSize = 10;
                                                   r.pageIndex = 1;
                                               }),
         {{"type", "1"}, {"pageSize", "10"}, {"pageIndex", "1"}},
         [](const ns::Value& reply, Journey&) {
             auto rsp = mapped<GetStudentPersonHomeIndextRsp>(reply);
             ASSERT_TRUE(rsp->user);
             EXPECT_EQ(rsp->user->UserId, 1001);
             ASSERT_FALSE(rsp->testList.empty());
             EXPECT_GT(rsp->testList[0]->BookId, 0);
         }},
        {"Mobile/GetStuIndexContent",
         sending<GetStuIndexContentReq>(S::request_GetStuIndexContent_WithParams,
                                        [](GetStuIndexContentReq& r, const Journey&) { r.classId = "301"; }),
         {{"classId", "301"}},
         [](const ns::Value& reply, Journey&) { EXPECT_FALSE(mapped<GetStuIndexContentRsp>(reply)->testNum.empty()); }},
        {"Mobile/DeleteComment",
         sending<DeleteCommentReq>(S::request_DeleteComment_WithParams, [](DeleteCommentReq& r, const Journey& journey) {
             r.commentId = journey.commentId;
             r.bookId = 8;
         }),
         {{"commentId", "<comment>"}, {"bookId", "8"}},
         [](const ns::Value& reply, Journey&) { EXPECT_GE(mapped<DeleteCommentRsp>(reply)->commentCount, 0); }},
    };
}

// Fills the placeholders of fields that only the journey knows.
Fields expectedFields(Fields fields, const Journey& journey, std::string_view uid) {
    for (auto& [name, value] : fields) {
        if (value == "<answers>") value = journey.answerdata;
        if (value == "<exam>") value = std::to_string(journey.myexamId);
        if (value == "<feel>") value = std::to_string(journey.feelId);
        if (value == "<comment>") value = std::to_string(journey.commentId);
    }
    fields.emplace("uid", uid);
    return fields;
}

}  // namespace

TEST_F(ServiceClientTest, EveryOperationReachesItsPathWithItsFieldsAndItsReplyMapsIntoItsClass) {
    const auto table = operationTable();
    ASSERT_EQ(table.size(), 29u);
    Journey journey;
    for (const auto& operation : table) {
        SCOPED_TRACE(operation.path);
        // The first row signs in: before it no session exists, so its uid is 0.
        const std::string uid = Account::share().info() ? "1001" : "0";
        const Outcome outcome = await([&](Completion c, Failure f) { operation.send(journey, c, f); });
        ASSERT_FALSE(outcome.failure) << *outcome.failure;
        EXPECT_EQ(outcome.calls, 1);
        const auto requests = service.journal(operation.path);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "POST");
        EXPECT_EQ(requests[0].header("content-type"), "application/x-www-form-urlencoded");
        EXPECT_FALSE(requests[0].header("authkey"));
        EXPECT_EQ(lastFields(operation.path), expectedFields(operation.fields, journey, uid));
        operation.check(outcome.reply, journey);
    }
    EXPECT_EQ(service.journal().size(), 29u);
}

TEST_F(ServiceClientTest, SignInSendsExactlyItsFieldsAndTheUidOfWhenTheRequestWasMade) {
    auto signInWith = [&](std::optional<std::string> password) {
        auto request = std::make_shared<LoginReq>();
        request->userName = "13800000001";
        request->password = std::move(password);
        await([&](Completion c, Failure f) { S::request_Login_WithParams(*request, c, f); });
        return lastFields("Mobile/StudentLogin");
    };
    EXPECT_EQ(signInWith("123456"), (Fields{{"uid", "0"}, {"userName", "13800000001"}, {"password", "123456"}}));
    EXPECT_EQ(signInWith(std::nullopt), (Fields{{"uid", "0"}, {"userName", "13800000001"}}));
    EXPECT_EQ(signInWith(""), (Fields{{"uid", "0"}, {"userName", "13800000001"}, {"password", ""}}));

    // The uid is the session's when the model is made, not when it is sent.
    signIn(1001);
    auto plain = std::make_shared<BaseReq>();
    signIn(1003);
    await([&](Completion c, Failure f) { S::request_GetMyInfor_WithParams(*plain, c, f); });
    EXPECT_EQ(lastFields("Mobile/GetMyUserInfor"), (Fields{{"uid", "1001"}}));
}

TEST_F(ServiceClientTest, RefusalsReachTheCompletionAndTransportFailuresTheFailureText) {
    auto wrongPassword = std::make_shared<LoginReq>();
    wrongPassword->userName = "13800000001";
    wrongPassword->password = "wrong1";
    auto signIn = [&] { return await([&](Completion c, Failure f) { S::request_Login_WithParams(*wrongPassword, c, f); }); };

    Outcome refused = signIn();
    ASSERT_FALSE(refused.failure);
    EXPECT_EQ(refused.calls, 1);
    auto rsp = replyModel<LoginRsp>(refused.reply);
    EXPECT_EQ(rsp->result, 0);
    EXPECT_FALSE(rsp->msg.empty());

    service.setFault("Mobile/StudentLogin", Fault::withStatus(500));
    Outcome failed = signIn();
    EXPECT_EQ(failed.failure, "Request failed: internal server error (500)");
    EXPECT_EQ(failed.calls, 1);

    service.setFault("Mobile/StudentLogin", Fault::withContentType("text/html"));
    EXPECT_EQ(signIn().failure, "Request failed: unacceptable content-type: text/html");

    service.setFault("Mobile/StudentLogin", Fault::closedConnection());
    Outcome closed = signIn();
    EXPECT_TRUE(closed.failure && !closed.failure->empty());

    // Valid JSON that is no object reaches the completion block and maps into an empty reply.
    service.setFault("Mobile/StudentLogin", Fault::jsonArray());
    Outcome array = signIn();
    ASSERT_FALSE(array.failure);
    EXPECT_TRUE(array.reply.isArray());
    EXPECT_EQ(replyModel<LoginRsp>(array.reply)->result, 0);
}

TEST_F(ServiceClientTest, TheGetVariantsAcceptHTMLTypedReplies) {
    service.setFault("Mobile/GetBookSortTree", Fault::withContentType("text/html"));
    bool done = false;
    ns::Value reply;
    BaseNetHTTPManager::getRequestOperationForHost(
        service.baseURL(), "Mobile/GetBookSortTree", ns::Value(ns::Dictionary{{"uid", ns::Value(0)}}),
        [&](const ns::Value& r) {
            reply = r;
            done = true;
        },
        [&](const auto&, const std::string& message) {
            ADD_FAILURE() << message;
            done = true;
        });
    ASSERT_TRUE(ns::RunLoop::main()->runUntil([&] { return done; }, 20));
    EXPECT_EQ(reply["result"], ns::Value(1));
    const auto requests = service.journal("Mobile/GetBookSortTree");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].field("uid"), "0");

    const Outcome plain = await([&](Completion c, Failure f) {
        EXPECT_TRUE(BaseNetHTTPManager::requestJsonWithParameter("Mobile/GetBookSortTree", service.baseURL(), c, f));
    });
    EXPECT_FALSE(plain.failure);
    EXPECT_EQ(plain.reply["result"], ns::Value(1));
}

TEST_F(ServiceClientTest, TheTransportJoinsURLsSendsAuthkeysPerCallAndLogsWithoutPasswords) {
    EXPECT_EQ(BaseNetHTTPManager::p_getURLWithParameters("Mobile/GetBookList", "http://h:1/"),
              "http://h:1/Mobile/GetBookList");
    EXPECT_EQ(BaseNetHTTPManager::p_getURLWithParameters("Mobile/Get Book\"列表\"?a=1&b=2", "http://h:1/"),
              "http://h:1/Mobile/Get%20Book%22%E5%88%97%E8%A1%A8%22?a=1&b=2");
    EXPECT_EQ(BaseNetHTTPManager::p_getURLWithParameters("", "http://h:1/"), "http://h:1/");
    // A path's "#", "%", "[" and "]" are escaped: "#" would cut everything after it off as a fragment.
    EXPECT_EQ(BaseNetHTTPManager::p_getURLWithParameters("Mobile/a#b", "http://h:1/"), "http://h:1/Mobile/a%23b");
    EXPECT_EQ(BaseNetHTTPManager::p_getURLWithParameters("Mobile/100%[x]", "http://h:1/"),
              "http://h:1/Mobile/100%25%5Bx%5D");
    // The host keeps its brackets: they enclose an IPv6 address.
    EXPECT_EQ(BaseNetHTTPManager::p_getURLWithParameters("Mobile/x", "http://[::1]:8/"), "http://[::1]:8/Mobile/x");

    auto post = [&](ns::Dictionary parameters) {
        return await([&](Completion c, Failure f) {
            BaseNetHTTPManager::postRequestOperationForHost(service.baseURL(), "Mobile/GetBookSortTree",
                                                            ns::Value(std::move(parameters)), c, f);
        });
    };
    post({{"uid", ns::Value(0)}, {"authkey", ns::Value("k-1")}});
    post({{"uid", ns::Value(0)}});
    const auto requests = service.journal("Mobile/GetBookSortTree");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].header("authkey"), "k-1");
    EXPECT_FALSE(requests[1].header("authkey"));

    ns::Log::Capture log;
    auto request = std::make_shared<SetNewPasswordReq>();
    request->type = 1;
    request->NEWPassword = "secret-new";
    request->oldPassword = "secret-old";
    await([&](Completion c, Failure f) { S::request_SetNewPassword_WithParams(*request, c, f); });
    auto signIn = std::make_shared<LoginReq>();
    signIn->userName = "13800000001";
    signIn->password = "123456";
    await([&](Completion c, Failure f) { S::request_Login_WithParams(*signIn, c, f); });

    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "postRequestOperationForHost, toUrl " + service.baseURL() +
                            "Mobile/SetNewPassword, with parameters {\n    NEWPassword = \"******\";\n"
                            "    oldPassword = \"******\";\n    type = 1;\n    uid = 0;\n}");
    EXPECT_TRUE(lines[1].starts_with("Response:{\n"));
    EXPECT_EQ(lines[2], "postRequestOperationForHost, toUrl " + service.baseURL() +
                            "Mobile/StudentLogin, with parameters {\n    password = \"******\";\n    uid = 0;\n"
                            "    userName = 13800000001;\n}");
    EXPECT_NE(lines[3].find("result = 1;"), std::string::npos);
    for (const auto& line : lines) {
        for (std::string_view secret : {"secret-new", "secret-old", "123456"})
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
    }
    // Masking is for the log only: the service still got the password.
    EXPECT_EQ(service.journal("Mobile/StudentLogin").back().field("password"), "123456");
}

TEST_F(ServiceClientTest, TheStandaloneClientBuildsURLsSendsHeadersAndAnswersEveryCall) {
    NetHttpClientRequest client;
    {
        ns::Log::Capture log;
        EXPECT_FALSE(client.urlWithPath("a", false));
        EXPECT_EQ(log.lines(), std::vector<std::string>{std::string(HostNameMissingLogLine)});
    }
    client.setHostName("example.com");
    EXPECT_EQ(client.urlWithPath("", false), "http://example.com");
    EXPECT_EQ(client.urlWithPath("/", true), "https://example.com");
    EXPECT_EQ(client.urlWithPath("/a/b", false), "http://example.com/a/b");
    EXPECT_EQ(client.urlWithPath("a/b", true), "https://example.com/a/b");

    struct Answer {
        bool done = false;
        ns::Value reply;
        std::optional<ns::Error> error;
    };
    auto send = [&](std::string_view path, std::int32_t method, const ns::Dictionary& headers) {
        Answer answer;
        client.requestWithBaseURLPath(
            path, ns::Value(ns::Dictionary{{"uid", ns::Value(7)}}), method, headers,
            [&](const auto&, const ns::Value& reply) {
                answer.reply = reply;
                answer.done = true;
            },
            [&](const auto&, const ns::Error& error) {
                answer.error = error;
                answer.done = true;
            });
        EXPECT_TRUE(ns::RunLoop::main()->runUntil([&] { return answer.done; }, 20));
        return answer;
    };

    client.setHostName("127.0.0.1:" + std::to_string(service.port()));
    client.addHeaders({{"X-Client", ns::Value("quillory")}});
    const Answer posted = send("Mobile/GetBookSortTree", NetHttpClientMethodPOST, {{"X-Trace", ns::Value("t-1")}});
    ASSERT_FALSE(posted.error) << posted.error->description();
    EXPECT_EQ(posted.reply["result"], ns::Value(1));
    const auto request = service.journal("Mobile/GetBookSortTree").at(0);
    EXPECT_EQ(request.header("X-Client"), "quillory");
    EXPECT_EQ(request.header("X-Trace"), "t-1");
    EXPECT_EQ(request.field("uid"), "7");

    // An unknown method code sends nothing and calls neither block. Blocks arrive on the main queue in
    // order, so once the request sent after it is answered, any answer to it would have come.
    int unknownCalls = 0;
    client.requestWithBaseURLPath(
        "Mobile/GetBookSortTree", ns::Value(ns::Dictionary{}), 3, [&](const auto&, const ns::Value&) { ++unknownCalls; },
        [&](const auto&, const ns::Error&) { ++unknownCalls; });
    const Answer after = send("Mobile/GetBookSortTree", NetHttpClientMethodGET, {});
    EXPECT_FALSE(after.error);
    EXPECT_EQ(unknownCalls, 0);
    EXPECT_EQ(service.journal("Mobile/GetBookSortTree").size(), 2u);

    client.setHostName(std::nullopt);
    const Answer hostless = send("Mobile/GetBookSortTree", NetHttpClientMethodGET, {});
    ASSERT_TRUE(hostless.error);
    EXPECT_EQ(hostless.error->domain(), ns::URLErrorDomain);
    EXPECT_EQ(hostless.error->code(), ns::URLErrorBadURL);
    EXPECT_EQ(hostless.error->localizedDescription(), "bad URL");

    // A refusal by status reaches the failed block with the networking error's code and text.
    client.setHostName("127.0.0.1:" + std::to_string(service.port()));
    service.setFault("Mobile/GetBookSortTree", Fault::withStatus(500));
    const Answer refused = send("Mobile/GetBookSortTree", NetHttpClientMethodPOST, {});
    service.clearFaults();
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->domain(), NetURLResponseSerializationErrorDomain);
    EXPECT_EQ(refused.error->code(), ns::URLErrorBadServerResponse);
    EXPECT_EQ(refused.error->localizedDescription(), "Request failed: internal server error (500)");
}

TEST_F(ServiceClientTest, TheServiceBaseURLAlwaysEndsWithASlash) {
    std::string withoutSlash = service.baseURL();
    withoutSlash.pop_back();
    ::setenv(ServiceBaseURLEnvironmentVariable.data(), withoutSlash.c_str(), 1);
    EXPECT_EQ(S::serviceBaseURL(), service.baseURL());
    // Requests then reach their paths, not "<port>Mobile/...".
    const auto outcome = await([&](Completion c, Failure f) {
        S::request_GetBookSortTree_WithParams(GetBookSortTreeReq(), c, f);
    });
    EXPECT_FALSE(outcome.failure);
    EXPECT_EQ(service.journal("Mobile/GetBookSortTree").size(), 1u);

    ::setenv(ServiceBaseURLEnvironmentVariable.data(), service.baseURL().c_str(), 1);
    EXPECT_EQ(S::serviceBaseURL(), service.baseURL());
    // The shared standalone client builds its URLs on that service's host.
    EXPECT_EQ(NetHttpClientRequest::shareRequest().hostName(), "127.0.0.1:" + std::to_string(service.port()));
    EXPECT_EQ(NetHttpClientRequest::shareRequest().urlWithPath("Mobile/GetBookList", false),
              service.baseURL() + "Mobile/GetBookList");
    ::setenv(ServiceBaseURLEnvironmentVariable.data(), "", 1);
    EXPECT_EQ(S::serviceBaseURL(), DefaultServiceBaseURL);
    ::unsetenv(ServiceBaseURLEnvironmentVariable.data());
    EXPECT_EQ(S::serviceBaseURL(), DefaultServiceBaseURL);
}
