#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <sstream>

#include "platform/foundation/Base64.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Sandbox.h"
#include "tools/standin-service/ServiceOperations.h"
#include "tools/standin-service/StandinService.h"
#include "tests/support/FaultyVolume.h"

using namespace ql;
using namespace ql::standin;
using ns::Value;

namespace {

Value parse(const std::string& body) { return ns::JSONSerialization::JSONObjectWithData(body, 0, nullptr); }

class StandinServiceTest : public ::testing::Test {
protected:
    StandinService service;
    httplib::Client client{"127.0.0.1", service.port()};

    // The operation's reply; nil when the request failed or the reply is no JSON.
    Value call(const std::string& path, const httplib::Params& form) {
        auto result = client.Post(("/" + path).c_str(), form);
        return result ? parse(result->body) : Value();
    }
};

}  // namespace

TEST_F(StandinServiceTest, SignInAnswersByBindingAndKeepsAJournal) {
    const Value unbound = call("Mobile/StudentLogin", {{"uid", "0"}, {"userName", "20160302"}, {"password", "abcdef"}});
    EXPECT_EQ(unbound["result"], Value(2));
    EXPECT_EQ(unbound["uid"], Value(1002));
    EXPECT_EQ(unbound["mobile"], Value(""));

    const Value bound = call("Mobile/StudentLogin", {{"uid", "0"}, {"userName", "13800000001"}, {"password", "123456"}});
    EXPECT_EQ(bound["result"], Value(1));
    EXPECT_EQ(bound["user"]["ClassId"], Value("301"));
    EXPECT_EQ(bound["collectionNum"], Value(3));
    EXPECT_EQ(bound["photo"], Value(service.baseURL() + "Upload/Photo/1001.jpg"));
    EXPECT_EQ(bound["sortList"].count(), 4u);

    EXPECT_EQ(call("Mobile/StudentLogin", {{"userName", "13800000001"}, {"password", "wrong1"}})["result"], Value(0));
    EXPECT_EQ(call("Mobile/AddComment", {{"uid", "1001"}, {"bookId", "8"}, {"comment", "狐狸 & 玫瑰=朋友"}})["commentCount"],
              Value(2));

    const auto signIns = service.journal("Mobile/StudentLogin");
    ASSERT_EQ(signIns.size(), 3u);
    EXPECT_EQ(signIns[0].method, "POST");
    // In the order the client sent them (its parameters are sorted by name).
    EXPECT_EQ(signIns[0].fields, (FormFields{{"password", "abcdef"}, {"uid", "0"}, {"userName", "20160302"}}));
    EXPECT_EQ(signIns[0].header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(service.journal("/Mobile/AddComment").at(0).field("comment"), "狐狸 & 玫瑰=朋友");

    // The journal over HTTP, and emptied by the control endpoint.
    auto journal = client.Get("/__journal");
    ASSERT_TRUE(journal);
    const Value entries = parse(journal->body);
    ASSERT_EQ(entries.count(), 4u);
    EXPECT_EQ(entries[3]["path"], Value("/Mobile/AddComment"));
    EXPECT_EQ(entries[3]["fields"]["comment"], Value("狐狸 & 玫瑰=朋友"));
    ASSERT_TRUE(client.Delete("/__journal"));
    EXPECT_TRUE(service.journal().empty());

    auto unknown = client.Post("/Mobile/NoSuchThing", httplib::Params{});
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
}

TEST_F(StandinServiceTest, VerificationCodesBindResetAndChange) {
    // Binding: a number held by another student is refused; a wrong code keeps the right one usable.
    EXPECT_EQ(call("Mobile/SendVerification", {{"uid", "1002"}, {"mobile", "13800000003"}, {"type", "0"}})["result"], Value(0));
    EXPECT_EQ(call("Mobile/SendVerification", {{"uid", "1002"}, {"mobile", "13800000002"}, {"type", "0"}})["result"], Value(1));
    const httplib::Params bind = {{"uid", "1002"}, {"mobile", "13800000002"}, {"type", "0"}, {"stuType", "0"}};
    auto withCode = [](httplib::Params form, std::string code) {
        form.emplace("code", std::move(code));
        return form;
    };
    EXPECT_EQ(call("Mobile/ConfirmVerification", withCode(bind, "000000"))["result"], Value(0));
    EXPECT_EQ(call("Mobile/ConfirmVerification", withCode(bind, "520520"))["result"], Value(1));
    EXPECT_EQ(call("Mobile/ConfirmVerification", withCode(bind, "520520"))["result"], Value(0));  // used up
    const Value signIn = call("Mobile/StudentLogin", {{"userName", "20160302"}, {"password", "abcdef"}});
    EXPECT_EQ(signIn["result"], Value(1));
    EXPECT_EQ(signIn["mobile"], Value("13800000002"));

    // Forgotten password: the new one is only taken after the code was confirmed.
    const Value forgotten = call("Mobile/GetPasswordForget", {{"mobile", "13800000003"}, {"type", "0"}});
    EXPECT_EQ(forgotten["uid"], Value(1003));
    const httplib::Params reset = {{"uid", "1003"}, {"type", "0"}, {"NEWPassword", "newpass1"}};
    EXPECT_EQ(call("Mobile/SetNewPassword", reset)["result"], Value(0));
    EXPECT_EQ(call("Mobile/ConfirmVerification",
                   {{"uid", "1003"}, {"mobile", "13800000003"}, {"type", "1"}, {"code", "123456"}})["result"],
              Value(1));
    EXPECT_EQ(call("Mobile/SetNewPassword", reset)["result"], Value(1));
    EXPECT_EQ(call("Mobile/StudentLogin", {{"userName", "13800000003"}, {"password", "newpass1"}})["result"], Value(1));

    // Changing the password needs the old one and 6 to 20 characters.
    EXPECT_EQ(call("Mobile/SetNewPassword", {{"uid", "1003"}, {"type", "1"}, {"NEWPassword", "abcdefg"}, {"oldPassword", "x"}})["result"],
              Value(0));
    EXPECT_EQ(call("Mobile/SetNewPassword", {{"uid", "1003"}, {"type", "1"}, {"NEWPassword", "abc"}, {"oldPassword", "newpass1"}})["result"],
              Value(0));
    EXPECT_EQ(call("Mobile/SetNewPassword", {{"uid", "1003"}, {"type", "1"}, {"NEWPassword", "密码六个汉字"}, {"oldPassword", "newpass1"}})["result"],
              Value(1));

    // Changing the bound number.
    EXPECT_EQ(call("Mobile/SendVerification", {{"uid", "1004"}, {"mobile", "13700000009"}, {"type", "1"}})["result"], Value(1));
    EXPECT_EQ(call("Mobile/ChangeMobile", {{"uid", "1004"}, {"mobile", "13700000009"}, {"code", "909090"}})["result"], Value(1));
    EXPECT_EQ(call("Mobile/StudentLogin", {{"userName", "13700000009"}, {"password", "111111"}})["uid"], Value(1004));
}

TEST_F(StandinServiceTest, ExamsAreScoredAndReviewed) {
    const Value exam = call("Mobile/CreateExamByBook", {{"uid", "1002"}, {"bookId", "8"}});
    ASSERT_EQ(exam["result"], Value(1));
    const std::string examId = exam["myexamId"].stringValue();
    ASSERT_EQ(exam["questionList"].count(), 3u);
    EXPECT_EQ(exam["questionList"][0]["AnswerList"].count(), 4u);
    EXPECT_EQ(exam["questionList"][0]["AnswerList"][0]["AnswerFlag"], Value(0));  // a fresh exam gives nothing away
    EXPECT_EQ(exam["questionList"][2]["QeustionContentHtml"],
              Value("<p>狐狸告诉小王子，什么东西用眼睛是看不见的？</p>"));

    auto submit = [&](const std::string& id, const std::string& answers) {
        return call("Mobile/SaveStudentAnswer", {{"uid", "1002"}, {"myexamId", id}, {"answerdata", answers}});
    };
    EXPECT_EQ(submit(examId, "31,401")["result"], Value(0));          // not "qid,aid;"
    EXPECT_EQ(submit(examId, "17,301;")["result"], Value(0));         // another book's question
    const Value scored = submit(examId, "31,401;32,405;33,410;");
    EXPECT_EQ(scored["result"], Value(1));
    EXPECT_EQ(scored["Score"], Value(67));
    EXPECT_EQ(scored["IsPass"], Value(1));
    EXPECT_EQ(submit(examId, "31,401;")["result"], Value(0));         // submitted once only

    const std::string retry = call("Mobile/CreateExamByBook", {{"uid", "1002"}, {"bookId", "8"}})["myexamId"].stringValue();
    const Value failed = submit(retry, "31,402;");
    EXPECT_EQ(failed["Score"], Value(0));
    EXPECT_EQ(failed["IsPass"], Value(0));

    // The review marks the right answers 1 and the student's wrong choice 2.
    const Value review = call("Mobile/GetMyTestDetail", {{"uid", "1002"}, {"bookId", "8"}});
    const Value& firstAnswers = review["questionList"][0]["AnswerList"];
    EXPECT_EQ(firstAnswers[0]["AnswerFlag"], Value(1));
    EXPECT_EQ(firstAnswers[1]["AnswerFlag"], Value(2));
    EXPECT_EQ(firstAnswers[2]["AnswerFlag"], Value(0));

    // The history of the fixtures: newest first, grouped by day.
    const Value history = call("Mobile/GetMyTestInfo", {{"uid", "1001"}, {"pageIndex", "1"}, {"pageSize", "10"}});
    ASSERT_EQ(history["testList"].count(), 1u);
    EXPECT_EQ(history["testList"][0]["DateTime"], Value("2016-05-03"));
    EXPECT_EQ(history["testList"][0]["BookList"][0]["Score"], Value(50));
    EXPECT_EQ(history["testList"][0]["BookList"][1]["Score"], Value(80));
    EXPECT_EQ(history["testList"][0]["BookList"][1]["isFeeded"], Value(true));
    EXPECT_EQ(call("Mobile/CreateExamByBook", {{"uid", "1002"}, {"bookId", "1"}})["result"], Value(0));  // no questions
}

TEST_F(StandinServiceTest, ReadingNotesKeepTheirPhotos) {
    const std::string photo = ns::base64EncodedString(ns::Data(std::string_view("\xff\xd8\xff\xe0 picture")));
    const Value published = call("Mobile/AddBookFeel", {{"uid", "1002"}, {"bookId", "6"}, {"content", "稻草人很善良。"},
                                                        {"imagedata", "[\"" + photo + "\",{\"image\":\"" + photo + "\"}]"}});
    ASSERT_EQ(published["result"], Value(1));
    const Value note = call("Mobile/GetSingleFeel", {{"uid", "1002"}, {"feelId", published["feelId"].stringValue()}});
    ASSERT_EQ(note["feel"]["ImgageUrlList"].count(), 2u);
    const std::string url = note["feel"]["ImgageUrlList"][1].stringValue();
    ASSERT_TRUE(url.starts_with(service.baseURL()));
    auto picture = client.Get(("/" + url.substr(service.baseURL().size())).c_str());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->body, "\xff\xd8\xff\xe0 picture");
    EXPECT_EQ(picture->get_header_value("Content-Type"), "image/jpeg");

    EXPECT_EQ(call("Mobile/AddBookFeel", {{"uid", "1002"}, {"bookId", "6"}, {"content", "x"}, {"imagedata", "not json"}})["result"],
              Value(0));
    EXPECT_EQ(call("Mobile/GetSingleFeel", {{"feelId", "1"}})["feel"]["ImgageUrlList"].count(), 2u);  // from the fixtures
}

TEST_F(StandinServiceTest, PathsFailAsTheyAreTold) {
    const httplib::Params signIn = {{"userName", "13800000001"}, {"password", "123456"}};
    service.setFault("Mobile/StudentLogin", Fault::withStatus(503));
    auto reply = client.Post("/Mobile/StudentLogin", signIn);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 503);

    service.setFault("/Mobile/StudentLogin", Fault::withContentType("text/html"));
    reply = client.Post("/Mobile/StudentLogin", signIn);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->get_header_value("Content-Type"), "text/html");
    EXPECT_EQ(parse(reply->body)["result"], Value(1));

    service.setFault("Mobile/StudentLogin", Fault::nonJSONBody());
    reply = client.Post("/Mobile/StudentLogin", signIn);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->get_header_value("Content-Type").starts_with("application/json"));
    EXPECT_TRUE(parse(reply->body).isNil());

    service.setFault("Mobile/StudentLogin", Fault::jsonArray());
    EXPECT_EQ(call("Mobile/StudentLogin", signIn)[0]["result"], Value(1));

    service.setFault("Mobile/StudentLogin", Fault::closedConnection());
    EXPECT_FALSE(client.Post("/Mobile/StudentLogin", signIn));

    // A held reply goes out only when released; other paths answer meanwhile.
    service.setFault("Mobile/StudentLogin", Fault::held());
    service.clearJournal();
    auto held = std::async(std::launch::async, [&] {
        httplib::Client own("127.0.0.1", service.port());
        auto result = own.Post("/Mobile/StudentLogin", signIn);
        return result ? parse(result->body) : Value();
    });
    ASSERT_TRUE(service.waitForRequests("Mobile/StudentLogin", 1));
    ASSERT_TRUE(service.waitForHeldReplies(1));
    EXPECT_EQ(call("Mobile/GetBookSortTree", {})["result"], Value(1));
    // Asked without waiting, after a later request was answered in full.
    EXPECT_EQ(held.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    EXPECT_EQ(service.heldReplies(), 1u);
    service.releaseHeldReplies();
    // Released, it no longer counts, however soon its reply leaves.
    EXPECT_EQ(service.heldReplies(), 0u);
    EXPECT_FALSE(service.waitForHeldReplies(1, 0.05));
    EXPECT_EQ(held.get()["result"], Value(1));

    // The same through the control endpoints.
    service.clearFaults();
    ASSERT_TRUE(client.Post("/__fault", httplib::Params{{"path", "Mobile/GetBookList"}, {"kind", "status"}, {"status", "502"}}));
    EXPECT_EQ(client.Post("/Mobile/GetBookList", httplib::Params{})->status, 502);
    EXPECT_EQ(client.Post("/__fault", httplib::Params{{"path", "Mobile/GetBookList"}, {"kind", "bogus"}})->status, 400);
    ASSERT_TRUE(client.Delete("/__fault?path=Mobile/GetBookList"));
    EXPECT_EQ(client.Post("/Mobile/GetBookList", httplib::Params{})->status, 200);
    EXPECT_EQ(service.journal("/__fault").size(), 0u);  // control requests are not journaled
}

TEST_F(StandinServiceTest, AReleaseRightAfterAHeldRequestArrivesSendsIt) {
    // The release may come before the request's handler has begun to wait; the reply must still go out.
    service.setFault("Mobile/GetBookSortTree", Fault::held());
    for (int round = 1; round <= 40; ++round) {
        auto held = std::async(std::launch::async, [&] {
            httplib::Client own("127.0.0.1", service.port());
            own.set_read_timeout(std::chrono::seconds(10));
            auto result = own.Post("/Mobile/GetBookSortTree", httplib::Params{});
            return result ? parse(result->body) : Value();
        });
        ASSERT_TRUE(service.waitForRequests("Mobile/GetBookSortTree", static_cast<std::size_t>(round)));
        service.releaseHeldReplies();
        ASSERT_EQ(held.get()["result"], Value(1)) << "round " << round;
    }
}

TEST_F(StandinServiceTest, EveryFieldValueGetsAReplyWithResultAndMessage) {
    // Every field any operation reads, at the ends of the integers, beyond them and as no number at all.
    const std::vector<std::string> fields = {"uid", "bookId", "pageIndex", "pageSize", "type", "orderbytype",
                                             "gradeId", "sortId", "commentId", "feelId", "myexamId", "classId",
                                             "ClassId", "top", "code", "mobile", "userName", "password",
                                             "answerdata", "imagedata", "content", "comment", "name"};
    const std::vector<std::string> values = {"9223372036854775807", "-9223372036854775808", "99999999999999999999",
                                             "-1", "0", "x", "1,2;3,", "[1]"};
    for (const auto& [path, operation] : serviceOperations()) {
        for (const std::string& value : values) {
            httplib::Params form;
            for (const std::string& field : fields) form.emplace(field, value);
            const auto reply = client.Post(("/" + path).c_str(), form);
            ASSERT_TRUE(reply) << path << " " << value;
            const Value body = parse(reply->body);
            EXPECT_TRUE(body["result"].isNumber()) << path << " " << value << ": " << reply->body;
            EXPECT_TRUE(body["msg"].isString()) << path << " " << value << ": " << reply->body;
        }
    }
    // Paging far beyond the data answers an empty page.
    const Value page = call("Mobile/GetBookList", {{"pageIndex", "9223372036854775807"}, {"pageSize", "9223372036854775807"}});
    EXPECT_EQ(page["result"], Value(1));
    EXPECT_EQ(page["bookList"].count(), 0u);
    // And the service still answers.
    EXPECT_EQ(call("Mobile/GetBookSortTree", {})["result"], Value(1));

    // A status the fault endpoint cannot send is refused.
    EXPECT_EQ(client.Post("/__fault", httplib::Params{{"path", "Mobile/GetBookList"}, {"kind", "status"},
                                                      {"status", "99999999999"}})->status,
              400);
    EXPECT_EQ(client.Post("/Mobile/GetBookList", httplib::Params{})->status, 200);
}

TEST_F(StandinServiceTest, PhotoUploadsFitAndLargerBodiesAreRefusedAsJSON) {
    // Three photos of two megabytes each, as base64 in a form body.
    const std::string photo = ns::base64EncodedString(ns::Data(std::string(2 << 20, '\xd8')));
    const std::string list = "[\"" + photo + "\",\"" + photo + "\",\"" + photo + "\"]";
    const Value published =
        call("Mobile/AddBookFeel", {{"uid", "1002"}, {"bookId", "6"}, {"content", "三张照片"}, {"imagedata", list}});
    EXPECT_EQ(published["result"], Value(1)) << published.description();
    const Value note = call("Mobile/GetSingleFeel", {{"uid", "1002"}, {"feelId", published["feelId"].stringValue()}});
    EXPECT_EQ(note["feel"]["ImgageUrlList"].count(), 3u);

    EXPECT_EQ(call("Mobile/PhotoUpdate", {{"uid", "1002"}, {"imagedata", photo}})["result"], Value(1));

    // A large body as multipart reaches the journal whole.
    httplib::MultipartFormDataItems items = {{"uid", "1002", "", ""}, {"imagedata", photo, "face.jpg", "image/jpeg"}};
    const auto multipart = client.Post("/Mobile/PhotoUpdate", items);
    ASSERT_TRUE(multipart);
    EXPECT_EQ(multipart->status, 200);
    EXPECT_EQ(service.journal("Mobile/PhotoUpdate").back().files.at(0).content, photo);

    // Past the limit: a refusal the app can read, and the service goes on.
    const std::string tooLarge(StandinService::MaximumBodyLength + 1, 'a');
    const auto refusal = client.Post("/Mobile/AddBookFeel", "content=" + tooLarge, "application/x-www-form-urlencoded");
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->status, 413);
    EXPECT_EQ(parse(refusal->body)["result"], Value(0)) << refusal->body;
    EXPECT_TRUE(parse(refusal->body)["msg"].isString());
    EXPECT_EQ(call("Mobile/GetBookSortTree", {})["result"], Value(1));
}

TEST(StandinServiceStateTest, AServiceWithAStateFolderGoesOnWhereTheLastOneStopped) {
    ns::TemporarySandbox folder;
    const std::string state = folder.path() + "/standin-service";
    const std::string photo = ns::base64EncodedString(ns::Data(std::string_view("\xff\xd8\xff\xe0 face")));
    const std::string notePhoto = ns::base64EncodedString(ns::Data(std::string_view("\xff\xd8\xff\xe0 page")));
    std::string photoPath, noteId;
    {
        StandinService first(0, StandinService::defaultFixturesDirectory(), state);
        httplib::Client client("127.0.0.1", first.port());
        auto call = [&](const std::string& path, const httplib::Params& form) {
            auto result = client.Post(("/" + path).c_str(), form);
            return result ? parse(result->body) : Value();
        };
        ASSERT_EQ(call("Mobile/SetNewPassword", {{"uid", "1002"}, {"type", "1"}, {"oldPassword", "abcdef"},
                                                 {"NEWPassword", "reading2"}})["result"],
                  Value(1));
        ASSERT_EQ(call("Mobile/AddBookCollect", {{"uid", "1002"}, {"bookId", "5"}})["result"], Value(1));
        const Value face = call("Mobile/PhotoUpdate", {{"uid", "1002"}, {"imagedata", photo}});
        ASSERT_EQ(face["result"], Value(1));
        photoPath = face["photo"].stringValue().substr(first.baseURL().size());
        const Value note = call("Mobile/AddBookFeel", {{"uid", "1002"}, {"bookId", "6"}, {"content", "好书"},
                                                       {"imagedata", "[\"" + notePhoto + "\"]"}});
        ASSERT_EQ(note["result"], Value(1));
        noteId = note["feelId"].stringValue();
    }
    StandinService second(0, StandinService::defaultFixturesDirectory(), state);
    httplib::Client client("127.0.0.1", second.port());
    auto call = [&](const std::string& path, const httplib::Params& form) {
        auto result = client.Post(("/" + path).c_str(), form);
        return result ? parse(result->body) : Value();
    };
    EXPECT_EQ(call("Mobile/StudentLogin", {{"userName", "20160302"}, {"password", "abcdef"}})["result"], Value(0));
    const Value signedIn = call("Mobile/StudentLogin", {{"userName", "20160302"}, {"password", "reading2"}});
    EXPECT_EQ(signedIn["result"], Value(2));
    EXPECT_EQ(signedIn["collectionNum"], Value(1));
    auto face = client.Get(("/" + photoPath).c_str());
    ASSERT_TRUE(face);
    EXPECT_EQ(face->body, "\xff\xd8\xff\xe0 face");
    const Value note = call("Mobile/GetSingleFeel", {{"uid", "1002"}, {"feelId", noteId}});
    ASSERT_EQ(note["feel"]["ImgageUrlList"].count(), 1u);
    auto page = client.Get(("/" + note["feel"]["ImgageUrlList"][0].stringValue().substr(second.baseURL().size())).c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body, "\xff\xd8\xff\xe0 page");
    // Without a state folder every service starts from the fixtures.
    StandinService fresh;
    httplib::Client freshClient("127.0.0.1", fresh.port());
    auto signIn = freshClient.Post("/Mobile/StudentLogin", httplib::Params{{"userName", "20160302"}, {"password", "abcdef"}});
    ASSERT_TRUE(signIn);
    EXPECT_EQ(parse(signIn->body)["result"], Value(2));
}

TEST(StandinServiceStateTest, OperationsAreSavedTogetherAfterADelayAndAllOfThemOnStopping) {
    ns::TemporarySandbox folder;
    const std::string state = folder.path() + "/standin-service";
    {
        // A delay no test outlasts: whatever is on disk before the stop was saved per operation.
        StandinService service(0, StandinService::defaultFixturesDirectory(), state, std::chrono::hours(1));
        httplib::Client client("127.0.0.1", service.port());
        for (const char* book : {"5", "6", "7"}) {
            auto reply = client.Post("/Mobile/AddBookCollect", httplib::Params{{"uid", "1002"}, {"bookId", book}});
            ASSERT_TRUE(reply);
            ASSERT_EQ(parse(reply->body)["result"], Value(1));
        }
        EXPECT_FALSE(ServiceState::isSaved(state)) << "saved before the delay passed";
    }
    ASSERT_TRUE(ServiceState::isSaved(state));
    StandinService restarted(0, StandinService::defaultFixturesDirectory(), state);
    httplib::Client client("127.0.0.1", restarted.port());
    auto signedIn = client.Post("/Mobile/StudentLogin", httplib::Params{{"userName", "20160302"}, {"password", "abcdef"}});
    ASSERT_TRUE(signedIn);
    EXPECT_EQ(parse(signedIn->body)["collectionNum"], Value(3));
}

TEST(StandinServiceStateTest, WhatAKilledSaveLeftGoesWhenTheNextServiceOpensItsFolder) {
    ns::TemporarySandbox folder;
    const std::string state = folder.path() + "/standin-service";
    ServiceState saved(StandinService::defaultFixturesDirectory());
    saved.storeUpload("Photo", "1002.jpg", ns::Data(std::string_view("\xff\xd8\xff\xe0 face")));
    saved.save(state);
    // Killed while it wrote: the temporaries of its atomic writes beside the files, pictures included.
    const auto leftovers = [&] {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(state))
            if (entry.path().filename().string().find(".tmp-") != std::string::npos) found.push_back(entry.path());
        return found;
    };
    ASSERT_TRUE(ns::writeToFile(ns::Data("{\"notes\": ["), state + "/.notes.json.tmp-Ab12Cd0", 0));
    ASSERT_TRUE(ns::writeToFile(ns::Data("\xff\xd8"), state + "/uploads/Upload/Photo/.1002.jpg.tmp-Ef34Gh0", 0));
    ASSERT_EQ(leftovers().size(), 2u);

    { StandinService reopened(0, StandinService::defaultFixturesDirectory(), state); }
    EXPECT_TRUE(leftovers().empty());
    // Nothing but the pictures saved is taken for one.
    const auto paths = [](const ServiceState& known) {
        std::vector<std::string> found;
        for (const auto& [path, bytes] : known.uploads) found.push_back(path);
        return found;
    };
    EXPECT_EQ(paths(ServiceState(state)), paths(saved));
}

// Every file below the folder with the digest of its bytes.
std::map<std::string, std::string> folderFiles(const std::string& folder) {
    std::map<std::string, std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::ostringstream bytes;
        bytes << std::ifstream(entry.path(), std::ios::binary).rdbuf();
        found[std::filesystem::relative(entry.path(), folder).string()] = ns::hexString(ns::md5(bytes.str()));
    }
    return found;
}

TEST(StandinServiceStateTest, ASaveThatFailsLeavesTheLastOneAndNothingElse) {
    for (const test::VolumeKind kind : test::volumeKinds()) {
        SCOPED_TRACE(test::describe(kind));
        ns::TemporarySandbox folder;
        test::FaultyVolume volume(kind, folder.path() + "/volume");
        const std::string saves = volume.folder() + "/standin-service";
        ServiceState state(StandinService::defaultFixturesDirectory());
        state.save(saves);
        const auto saved = folderFiles(saves);
        ASSERT_TRUE(saved.contains("students.json"));

        state.students.front().realName = std::string(64 * 1024, 'n');
        volume.fill();
        EXPECT_THROW(state.save(saves), std::runtime_error);
        // No partial file is left to eat what little space there is.
        EXPECT_EQ(folderFiles(saves), saved);
        volume.restore();
    }
}

TEST(StandinServiceProgramTest, RunsOnItsOwnAndReportsItsPort) {
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const char* argv[] = {QL_STANDIN_PROGRAM, "--port", "0", nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);

    FILE* lines = fdopen(output[0], "r");
    int port = 0;
    const bool reported = std::fscanf(lines, "%d", &port) == 1;
    std::fclose(lines);
    if (reported) {
        httplib::Client client("127.0.0.1", port);
        auto reply = client.Post("/Mobile/GetBookSortTree", httplib::Params{{"uid", "0"}});
        ASSERT_TRUE(reply);
        EXPECT_EQ(parse(reply->body)["sortList"].count(), 4u);
    }
    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(reported);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
