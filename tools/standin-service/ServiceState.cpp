#include "tools/standin-service/ServiceState.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "platform/foundation/AtomicWriteTemporary.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/JSONSerialization.h"
#include "tools/standin-service/StandinService.h"

namespace ql::standin {

namespace {

ns::Value readFixture(const std::string& directory, const std::string& name) {
    const std::string path = directory + "/" + name;
    ns::Error error("", 0);
    // Saved states carry every note's photos and grow with them: only the general bound applies.
    const auto text = ns::dataWithContentsOfFile(path, &error);
    if (!text)
        throw std::runtime_error("stand-in service: cannot read fixture " + path + ": " + error.localizedDescription());
    ns::Value value = ns::JSONSerialization::JSONObjectWithData(*text, 0, &error);
    if (!value.isDictionary()) {
        throw std::runtime_error("stand-in service: fixture " + path + " is no JSON object: " +
                                 error.localizedDescription());
    }
    return value;
}

std::string text(const ns::Value& object, std::string_view key) { return object[key].stringValue(); }
std::int64_t integer(const ns::Value& object, std::string_view key) { return object[key].int64Value(); }

// The entries of an array member; a fixture with something else there is broken.
const ns::Array& entries(const ns::Value& object, std::string_view key, std::string_view file) {
    const ns::Array* array = object[key].asArray();
    if (!array) throw std::runtime_error("stand-in service: fixture " + std::string(file) + " lacks the array \"" +
                                         std::string(key) + "\"");
    return *array;
}

void loadStudents(ServiceState& state, const ns::Value& fixture) {
    for (const ns::Value& entry : entries(fixture, "students", "students.json")) {
        Student s;
        s.uid = integer(entry, "uid");
        s.userName = text(entry, "userName");
        s.password = text(entry, "password");
        s.mobile = text(entry, "mobile");
        s.realName = text(entry, "realName");
        s.sex = integer(entry, "sex");
        s.photo = text(entry, "photo");
        s.myTitle = text(entry, "myTitle");
        s.flowerNumber = integer(entry, "flowerNumber");
        s.location = text(entry, "location");
        s.classId = text(entry, "classId");
        s.className = text(entry, "className");
        s.grade = integer(entry, "grade");
        s.schoolName = text(entry, "schoolName");
        s.teacherName = text(entry, "teacherName");
        s.cityName = text(entry, "cityName");
        s.areaName = text(entry, "areaName");
        state.students.push_back(std::move(s));
    }
    const ns::Value& verification = fixture["verification"];
    state.defaultCode = text(verification, "defaultCode");
    if (const ns::Dictionary* codes = verification["codes"].asDictionary()) {
        for (const auto& [mobile, code] : *codes) state.codes[mobile] = code.stringValue();
    }
}

void loadBooks(ServiceState& state, const ns::Value& fixture) {
    for (const ns::Value& entry : entries(fixture, "sorts", "books.json")) {
        state.sorts.push_back({integer(entry, "SortId"), text(entry, "SortName"), integer(entry, "gradeId"),
                               integer(entry, "orderbytype")});
    }
    for (const ns::Value& entry : entries(fixture, "books", "books.json")) {
        Book b;
        b.bookId = integer(entry, "BookId");
        b.name = text(entry, "BookName");
        b.imageUrl = text(entry, "ImageUrl");
        b.sortId = integer(entry, "SortId");
        b.grade = integer(entry, "Grade");
        b.flower = integer(entry, "Flower");
        b.flowerCount = integer(entry, "FlowerCount");
        b.isbn = text(entry, "ISBN");
        b.press = text(entry, "Press");
        b.introduce = text(entry, "Introduce");
        state.books.push_back(std::move(b));
    }
    for (const ns::Value& entry : entries(fixture, "comments", "books.json")) {
        state.comments.push_back({integer(entry, "CommentId"), integer(entry, "BookId"), integer(entry, "UserId"),
                                  text(entry, "Content"), text(entry, "CreateTime")});
    }
    for (const ns::Value& entry : entries(fixture, "likes", "books.json")) {
        state.likes.emplace(integer(entry, "uid"), integer(entry, "bookId"));
    }
    for (const ns::Value& entry : entries(fixture, "collections", "books.json")) {
        state.collections.push_back({integer(entry, "uid"), integer(entry, "bookId"), text(entry, "CreateTime")});
    }
}

void loadExams(ServiceState& state, const ns::Value& fixture) {
    state.passScore = integer(fixture, "passScore");
    for (const ns::Value& entry : entries(fixture, "questions", "exams.json")) {
        Question q;
        q.questionId = text(entry, "QuestionId");
        q.bookId = integer(entry, "BookId");
        q.content = text(entry, "QuestionContent");
        for (const ns::Value& answer : entries(entry, "answers", "exams.json")) {
            q.answers.push_back({integer(answer, "AnswerId"), text(answer, "AnswerContent"), answer["correct"].boolValue()});
        }
        state.questions.push_back(std::move(q));
    }
    for (const ns::Value& entry : entries(fixture, "history", "exams.json")) {
        const auto choices = ServiceState::parseAnswers(text(entry, "answerdata"));
        if (!choices) throw std::runtime_error("stand-in service: exams.json has a malformed answerdata");
        TestRecord record = state.score(integer(entry, "uid"), integer(entry, "BookId"), *choices);
        record.testId = integer(entry, "TestId");
        record.createTime = text(entry, "CreateTime");
        state.tests.push_back(std::move(record));
    }
}

void loadNotes(ServiceState& state, const ns::Value& fixture) {
    for (const ns::Value& entry : entries(fixture, "notes", "notes.json")) {
        Note n;
        n.feelId = integer(entry, "FeelId");
        n.uid = integer(entry, "uid");
        n.bookId = integer(entry, "BookId");
        n.content = text(entry, "Content");
        n.feelType = integer(entry, "FeelType");
        n.feelTypeStr = text(entry, "FeelTypeStr");
        n.status = integer(entry, "Status");
        n.createTime = text(entry, "CreateTime");
        n.checkTime = text(entry, "CheckTime");
        n.checkUserId = integer(entry, "CheckUserId");
        for (const ns::Value& photo : entries(entry, "photos", "notes.json")) {
            auto bytes = ns::dataWithBase64EncodedString(photo.asString());
            if (!bytes) throw std::runtime_error("stand-in service: notes.json has a photo that is no base64");
            const std::string name = std::to_string(n.feelId) + "-" + std::to_string(n.photos.size() + 1) + ".jpg";
            n.photos.push_back(state.storeUpload("Feel", name, std::move(*bytes)));
        }
        state.notes.push_back(std::move(n));
    }
}

// The pictures sent to the service, kept as files under uploads/ by their service paths.
void loadUploads(ServiceState& state, const std::string& directory) {
    const std::filesystem::path root = std::filesystem::path(directory) / "uploads";
    std::error_code error;
    if (!std::filesystem::is_directory(root, error)) return;
    for (const auto& file : std::filesystem::recursive_directory_iterator(root)) {
        // A picture another process is saving right now is not one yet.
        if (!file.is_regular_file() || ns::isAtomicWriteTemporaryName(file.path().filename().string())) continue;
        // Each came in one request body.
        ns::Error error("", 0);
        auto bytes = ns::dataWithContentsOfFile(file.path().string(), StandinService::MaximumBodyLength, &error);
        if (!bytes)
            throw std::runtime_error("stand-in service: cannot read " + file.path().string() + ": " +
                                     error.localizedDescription());
        state.uploads[std::filesystem::relative(file.path(), root).generic_string()] = std::move(*bytes);
    }
}

// Atomic: the next start reads the old file or the new one, and a write that fails (a full disk) leaves
// nothing behind to eat what space is left.
void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    const auto& files = ns::FileManager::defaultManager();
    ns::Error error("", 0);
    if (!files.createDirectoryAtPath(path.parent_path().string(), true, {}, &error) ||
        !files.writeAtomically(path.string(), ns::Data(bytes), std::nullopt, &error))
        throw std::runtime_error("stand-in service: cannot write " + path.string() + ": " + error.localizedDescription());
}

void writeFixture(const std::string& directory, const std::string& name, ns::Dictionary fixture) {
    ns::Error error("", 0);
    const auto data = ns::JSONSerialization::dataWithJSONObject(ns::Value(std::move(fixture)), 0, &error);
    if (!data) throw std::runtime_error("stand-in service: cannot write " + name + ": " + error.localizedDescription());
    writeFile(std::filesystem::path(directory) / name, data->view());
}

ns::Array array(auto&& items, auto&& toValue) {
    ns::Array out;
    for (const auto& item : items) out.push_back(toValue(item));
    return out;
}

template <class T, class Id>
std::int64_t largest(const std::vector<T>& items, Id id) {
    std::int64_t most = 0;
    for (const auto& item : items) most = std::max(most, item.*id);
    return most;
}

}  // namespace

ServiceState::ServiceState(const std::string& fixturesDirectory) {
    loadStudents(*this, readFixture(fixturesDirectory, "students.json"));
    loadBooks(*this, readFixture(fixturesDirectory, "books.json"));
    loadExams(*this, readFixture(fixturesDirectory, "exams.json"));
    loadNotes(*this, readFixture(fixturesDirectory, "notes.json"));
    loadUploads(*this, fixturesDirectory);
    lastIds_["comment"] = largest(comments, &Comment::commentId);
    lastIds_["test"] = largest(tests, &TestRecord::testId);
    lastIds_["note"] = largest(notes, &Note::feelId);
    lastIds_["exam"] = 1000;
}

bool ServiceState::isSaved(const std::string& directory) {
    std::error_code error;
    for (const char* name : {"students.json", "books.json", "exams.json", "notes.json"}) {
        if (!std::filesystem::is_regular_file(std::filesystem::path(directory) / name, error)) return false;
    }
    return true;
}

void ServiceState::removeLeftovers(const std::string& directory) {
    ns::removeStaleAtomicWriteTemporaries(directory);
    const std::filesystem::path uploads = std::filesystem::path(directory) / "uploads";
    std::error_code error;
    if (!std::filesystem::is_directory(uploads, error)) return;
    ns::removeStaleAtomicWriteTemporaries(uploads.string());
    for (std::filesystem::recursive_directory_iterator it(uploads, error), end; !error && it != end; it.increment(error))
        if (it->is_directory(error)) ns::removeStaleAtomicWriteTemporaries(it->path().string());
}

void ServiceState::save(const std::string& directory) const {
    ns::Dictionary codeTable;
    for (const auto& [mobile, code] : codes) codeTable.set(mobile, code);
    writeFixture(directory, "students.json",
                 {{"students", array(students, [](const Student& s) {
                       return ns::Dictionary{{"uid", s.uid},           {"userName", s.userName},
                                             {"password", s.password}, {"mobile", s.mobile},
                                             {"realName", s.realName}, {"sex", s.sex},
                                             {"photo", s.photo},       {"myTitle", s.myTitle},
                                             {"flowerNumber", s.flowerNumber}, {"location", s.location},
                                             {"classId", s.classId},   {"className", s.className},
                                             {"grade", s.grade},       {"schoolName", s.schoolName},
                                             {"teacherName", s.teacherName}, {"cityName", s.cityName},
                                             {"areaName", s.areaName}};
                   })},
                  {"verification", ns::Dictionary{{"defaultCode", defaultCode}, {"codes", codeTable}}}});
    writeFixture(directory, "books.json",
                 {{"sorts", array(sorts, [](const Sort& s) {
                       return ns::Dictionary{{"SortId", s.sortId}, {"SortName", s.name}, {"gradeId", s.gradeId},
                                             {"orderbytype", s.orderbytype}};
                   })},
                  {"books", array(books, [](const Book& b) {
                       return ns::Dictionary{{"BookId", b.bookId}, {"BookName", b.name},     {"ImageUrl", b.imageUrl},
                                             {"SortId", b.sortId}, {"Grade", b.grade},       {"Flower", b.flower},
                                             {"FlowerCount", b.flowerCount}, {"ISBN", b.isbn}, {"Press", b.press},
                                             {"Introduce", b.introduce}};
                   })},
                  {"comments", array(comments, [](const Comment& c) {
                       return ns::Dictionary{{"CommentId", c.commentId}, {"BookId", c.bookId}, {"UserId", c.userId},
                                             {"Content", c.content}, {"CreateTime", c.createTime}};
                   })},
                  {"likes", array(likes, [](const std::pair<std::int64_t, std::int64_t>& like) {
                       return ns::Dictionary{{"uid", like.first}, {"bookId", like.second}};
                   })},
                  {"collections", array(collections, [](const Collection& c) {
                       return ns::Dictionary{{"uid", c.uid}, {"bookId", c.bookId}, {"CreateTime", c.createTime}};
                   })}});
    writeFixture(directory, "exams.json",
                 {{"passScore", passScore},
                  {"questions", array(questions, [](const Question& q) {
                       return ns::Dictionary{{"QuestionId", q.questionId}, {"BookId", q.bookId},
                                             {"QuestionContent", q.content},
                                             {"answers", array(q.answers, [](const Answer& a) {
                                                  return ns::Dictionary{{"AnswerId", a.answerId},
                                                                        {"AnswerContent", a.content},
                                                                        {"correct", a.correct}};
                                              })}};
                   })},
                  {"history", array(tests, [](const TestRecord& t) {
                       std::string answerdata;
                       for (const auto& [question, answer] : t.choices) {
                           answerdata += question + "," + std::to_string(answer) + ";";
                       }
                       return ns::Dictionary{{"TestId", t.testId}, {"uid", t.uid}, {"BookId", t.bookId},
                                             {"answerdata", answerdata}, {"CreateTime", t.createTime}};
                   })}});
    // Note photos travel inside notes.json, as in the fixtures; every other picture as a file.
    std::set<std::string> inNotes;
    writeFixture(directory, "notes.json",
                 {{"notes", array(notes, [&](const Note& n) {
                       ns::Array photos;
                       for (const std::string& path : n.photos) {
                           const auto upload = uploads.find(path);
                           if (upload == uploads.end()) continue;
                           photos.push_back(ns::base64EncodedString(upload->second));
                           inNotes.insert(path);
                       }
                       return ns::Dictionary{{"FeelId", n.feelId}, {"uid", n.uid}, {"BookId", n.bookId},
                                             {"Content", n.content}, {"FeelType", n.feelType},
                                             {"FeelTypeStr", n.feelTypeStr}, {"Status", n.status},
                                             {"CreateTime", n.createTime}, {"CheckTime", n.checkTime},
                                             {"CheckUserId", n.checkUserId}, {"photos", photos}};
                   })}});
    for (const auto& [path, bytes] : uploads) {
        if (!inNotes.contains(path)) writeFile(std::filesystem::path(directory) / "uploads" / path, bytes.view());
    }
}

Student* ServiceState::student(std::int64_t uid) {
    auto it = std::ranges::find(students, uid, &Student::uid);
    return it == students.end() ? nullptr : &*it;
}

Student* ServiceState::studentSigningInAs(std::string_view userName) {
    if (userName.empty()) return nullptr;
    for (Student& s : students) {
        if (s.userName == userName || s.mobile == userName) return &s;
    }
    return nullptr;
}

Student* ServiceState::studentWithMobile(std::string_view mobile) {
    if (mobile.empty()) return nullptr;
    auto it = std::ranges::find(students, mobile, &Student::mobile);
    return it == students.end() ? nullptr : &*it;
}

const Book* ServiceState::book(std::int64_t bookId) const {
    auto it = std::ranges::find(books, bookId, &Book::bookId);
    return it == books.end() ? nullptr : &*it;
}

std::vector<const Question*> ServiceState::questionsOfBook(std::int64_t bookId) const {
    std::vector<const Question*> found;
    for (const Question& q : questions) {
        if (q.bookId == bookId) found.push_back(&q);
    }
    return found;
}

const Question* ServiceState::question(std::string_view questionId) const {
    auto it = std::ranges::find(questions, questionId, &Question::questionId);
    return it == questions.end() ? nullptr : &*it;
}

const Note* ServiceState::note(std::int64_t feelId) const {
    auto it = std::ranges::find(notes, feelId, &Note::feelId);
    return it == notes.end() ? nullptr : &*it;
}

const Note* ServiceState::noteOf(std::int64_t uid, std::int64_t bookId) const {
    const Note* latest = nullptr;
    for (const Note& n : notes) {
        if (n.uid == uid && n.bookId == bookId) latest = &n;
    }
    return latest;
}

const TestRecord* ServiceState::latestTest(std::int64_t uid, std::int64_t bookId) const {
    const TestRecord* latest = nullptr;
    for (const TestRecord& t : tests) {
        if (t.uid == uid && t.bookId == bookId) latest = &t;
    }
    return latest;
}

bool ServiceState::hasPassed(std::int64_t uid, std::int64_t bookId) const {
    return std::ranges::any_of(tests, [&](const TestRecord& t) { return t.uid == uid && t.bookId == bookId && t.passed; });
}

std::int64_t ServiceState::passedCount(std::int64_t uid) const {
    std::set<std::int64_t> passedBooks;
    for (const TestRecord& t : tests) {
        if (t.uid == uid && t.passed) passedBooks.insert(t.bookId);
    }
    return static_cast<std::int64_t>(passedBooks.size());
}

std::int64_t ServiceState::testCount(std::int64_t uid) const {
    return std::ranges::count(tests, uid, &TestRecord::uid);
}

std::int64_t ServiceState::collectionCount(std::int64_t uid) const {
    return std::ranges::count(collections, uid, &Collection::uid);
}

bool ServiceState::hasCollected(std::int64_t uid, std::int64_t bookId) const {
    return std::ranges::any_of(collections, [&](const Collection& c) { return c.uid == uid && c.bookId == bookId; });
}

std::int64_t ServiceState::likeCount(std::int64_t bookId) const {
    return std::ranges::count_if(likes, [&](const auto& like) { return like.second == bookId; });
}

std::int64_t ServiceState::commentCount(std::int64_t bookId) const {
    return std::ranges::count(comments, bookId, &Comment::bookId);
}

std::vector<const Student*> ServiceState::classRanking(std::string_view classId) {
    std::vector<const Student*> ranking;
    for (const Student& s : students) {
        if (s.classId == classId) ranking.push_back(&s);
    }
    std::ranges::sort(ranking, [this](const Student* a, const Student* b) {
        if (a->flowerNumber != b->flowerNumber) return a->flowerNumber > b->flowerNumber;
        const std::int64_t passedA = passedCount(a->uid), passedB = passedCount(b->uid);
        if (passedA != passedB) return passedA > passedB;
        return a->uid < b->uid;
    });
    return ranking;
}

std::string ServiceState::codeFor(std::string_view mobile) const {
    auto it = codes.find(mobile);
    return it == codes.end() ? defaultCode : it->second;
}

std::optional<std::vector<AnswerChoice>> ServiceState::parseAnswers(std::string_view answerdata) {
    std::vector<AnswerChoice> choices;
    while (!answerdata.empty()) {
        const std::size_t semicolon = answerdata.find(';');
        if (semicolon == std::string_view::npos) return std::nullopt;  // every choice ends with ";"
        const std::string_view choice = answerdata.substr(0, semicolon);
        answerdata.remove_prefix(semicolon + 1);
        const std::size_t comma = choice.find(',');
        if (comma == std::string_view::npos || comma == 0) return std::nullopt;
        const std::string_view answer = choice.substr(comma + 1);
        std::int64_t answerId = 0;
        const auto [stop, error] = std::from_chars(answer.data(), answer.data() + answer.size(), answerId);
        if (answer.empty() || error != std::errc() || stop != answer.data() + answer.size()) return std::nullopt;
        choices.emplace_back(std::string(choice.substr(0, comma)), answerId);
    }
    return choices;
}

TestRecord ServiceState::score(std::int64_t uid, std::int64_t bookId, const std::vector<AnswerChoice>& choices) const {
    TestRecord record;
    record.uid = uid;
    record.bookId = bookId;
    record.choices = choices;
    const auto bookQuestions = questionsOfBook(bookId);
    for (const Question* q : bookQuestions) {
        auto chosen = std::ranges::find(choices, q->questionId, &AnswerChoice::first);
        if (chosen == choices.end()) continue;
        auto answer = std::ranges::find(q->answers, chosen->second, &Answer::answerId);
        if (answer != q->answers.end() && answer->correct) ++record.correct;
    }
    if (!bookQuestions.empty()) {
        record.score = static_cast<std::int64_t>(
            std::lround(100.0 * static_cast<double>(record.correct) / static_cast<double>(bookQuestions.size())));
    }
    record.passed = record.score >= passScore;
    return record;
}

std::string ServiceState::absoluteURL(std::string_view path) const {
    if (path.empty() || path.starts_with("http://") || path.starts_with("https://")) return std::string(path);
    return baseURL + std::string(path);
}

std::string ServiceState::now() {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string ServiceState::storeUpload(std::string_view folder, std::string_view name, ns::Data bytes) {
    std::string path = "Upload/" + std::string(folder) + "/" + std::string(name);
    uploads[path] = std::move(bytes);
    return path;
}

std::int64_t ServiceState::nextId(std::string_view kind) {
    auto it = lastIds_.find(kind);
    if (it == lastIds_.end()) it = lastIds_.emplace(std::string(kind), 0).first;
    return ++it->second;
}

}  // namespace ql::standin
