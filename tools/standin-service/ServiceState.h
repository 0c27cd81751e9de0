#pragma once
// What the stand-in service knows: students, the catalogue with comments, likes and collections, the
// exams with their history, reading notes and uploaded pictures, loaded from the JSON fixture files of a
// folder and then changed by the operations. Not locked itself: the service serialises every call.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"

namespace ql::standin {

struct Student {
    std::int64_t uid = 0;
    std::string userName;  // the account name; a bound mobile number signs in as well
    std::string password;
    std::string mobile;    // empty while no mobile number is bound
    std::string realName;
    std::int64_t sex = 0;
    std::string photo;     // a path under the service, or empty
    std::string myTitle;
    std::int64_t flowerNumber = 0;
    std::string location;
    std::string classId;
    std::string className;
    std::int64_t grade = 0;
    std::string schoolName;
    std::string teacherName;
    std::string cityName;
    std::string areaName;
};

struct Sort {
    std::int64_t sortId = 0;
    std::string name;
    std::int64_t gradeId = 0;
    std::int64_t orderbytype = 0;
};

struct Book {
    std::int64_t bookId = 0;
    std::string name;
    std::string imageUrl;
    std::int64_t sortId = 0;
    std::int64_t grade = 0;
    std::int64_t flower = 0;
    std::int64_t flowerCount = 0;
    std::string isbn;
    std::string press;
    std::string introduce;
};

struct Comment {
    std::int64_t commentId = 0;
    std::int64_t bookId = 0;
    std::int64_t userId = 0;
    std::string content;
    std::string createTime;
};

struct Collection {
    std::int64_t uid = 0;
    std::int64_t bookId = 0;
    std::string createTime;
};

struct Answer {
    std::int64_t answerId = 0;
    std::string content;
    bool correct = false;
};

struct Question {
    std::string questionId;
    std::int64_t bookId = 0;
    std::string content;
    std::vector<Answer> answers;
};

// One chosen answer: the question's id and the answer's.
using AnswerChoice = std::pair<std::string, std::int64_t>;

struct TestRecord {
    std::int64_t testId = 0;
    std::int64_t uid = 0;
    std::int64_t bookId = 0;
    std::vector<AnswerChoice> choices;
    std::int64_t correct = 0;
    std::int64_t score = 0;  // percent of the book's questions answered right
    bool passed = false;
    std::string createTime;
};

struct Exam {
    std::int64_t examId = 0;
    std::int64_t uid = 0;
    std::int64_t bookId = 0;
    bool submitted = false;
};

struct Note {
    std::int64_t feelId = 0;
    std::int64_t uid = 0;
    std::int64_t bookId = 0;
    std::string content;
    std::int64_t feelType = 1;
    std::string feelTypeStr;
    std::int64_t status = 0;
    std::string createTime;
    std::string checkTime;
    std::int64_t checkUserId = 0;
    std::vector<std::string> photos;  // service paths of the pictures, kept in ServiceState::uploads
};

// What a sent verification code allows once confirmed. The codes follow the account screens' `type`s.
enum class CodePurpose { BindMobile, ForgottenPassword, ChangeMobile };

struct PendingCode {
    std::string code;
    CodePurpose purpose = CodePurpose::BindMobile;
    std::int64_t uid = 0;
};

class ServiceState {
public:
    // Reads students.json, books.json, exams.json and notes.json of the folder; a missing or malformed
    // file raises std::runtime_error naming it.
    explicit ServiceState(const std::string& fixturesDirectory);

    // Writes what the service knows as fixture files of the same form into the folder (made when missing),
    // the pictures sent to it under uploads/, so that a service started from that folder goes on where
    // this one stands. Verification codes waiting to be confirmed and exams in progress are not kept.
    // Each file is replaced whole; raises std::runtime_error when one cannot be written.
    void save(const std::string& directory) const;
    // Whether the folder holds a saved state to start from.
    static bool isSaved(const std::string& directory);
    // Removes what saves into the folder cut short by the end of their process left (the temporaries of
    // their atomic writes, pictures' included); a save at work in another process keeps its own.
    static void removeLeftovers(const std::string& directory);

    std::vector<Student> students;
    std::string defaultCode;
    std::map<std::string, std::string, std::less<>> codes;  // mobile → the code it always receives
    std::map<std::string, PendingCode, std::less<>> pendingCodes;
    std::set<std::int64_t> passwordResets;  // students who confirmed a forgotten-password code

    std::vector<Sort> sorts;
    std::vector<Book> books;
    std::vector<Comment> comments;
    std::set<std::pair<std::int64_t, std::int64_t>> likes;  // (uid, bookId)
    std::vector<Collection> collections;

    std::int64_t passScore = 60;
    std::vector<Question> questions;
    std::vector<TestRecord> tests;
    std::map<std::int64_t, Exam> exams;
    std::vector<Note> notes;
    std::map<std::string, ns::Data, std::less<>> uploads;  // service path → picture bytes

    // "http://127.0.0.1:<port>/", known once the service listens.
    std::string baseURL;

    Student* student(std::int64_t uid);
    Student* studentSigningInAs(std::string_view userName);
    Student* studentWithMobile(std::string_view mobile);
    const Book* book(std::int64_t bookId) const;
    std::vector<const Question*> questionsOfBook(std::int64_t bookId) const;
    const Question* question(std::string_view questionId) const;
    const Note* note(std::int64_t feelId) const;
    const Note* noteOf(std::int64_t uid, std::int64_t bookId) const;
    const TestRecord* latestTest(std::int64_t uid, std::int64_t bookId) const;
    bool hasPassed(std::int64_t uid, std::int64_t bookId) const;
    std::int64_t passedCount(std::int64_t uid) const;
    std::int64_t testCount(std::int64_t uid) const;
    std::int64_t collectionCount(std::int64_t uid) const;
    bool hasCollected(std::int64_t uid, std::int64_t bookId) const;
    std::int64_t likeCount(std::int64_t bookId) const;
    std::int64_t commentCount(std::int64_t bookId) const;
    // The class's students, best first: most flowers, then most passed tests, then the smaller uid.
    std::vector<const Student*> classRanking(std::string_view classId);

    // The code the mobile number receives.
    std::string codeFor(std::string_view mobile) const;
    // "qid,aid;qid,aid;" → the choices; nothing when the text does not have that form.
    static std::optional<std::vector<AnswerChoice>> parseAnswers(std::string_view answerdata);
    // A scored record of the choices for the book's questions; a question answered twice counts once.
    TestRecord score(std::int64_t uid, std::int64_t bookId, const std::vector<AnswerChoice>& choices) const;

    // A path under the service as a full URL; full URLs and empty texts stay as they are.
    std::string absoluteURL(std::string_view path) const;
    // The local time as "yyyy-MM-dd HH:mm:ss".
    static std::string now();
    std::int64_t nextId(std::string_view kind);
    // Keeps the picture and answers the service path it is served under.
    std::string storeUpload(std::string_view folder, std::string_view name, ns::Data bytes);

private:
    std::map<std::string, std::int64_t, std::less<>> lastIds_;
};

}  // namespace ql::standin
