// Reading tests, reading notes, the class ranking and a classmate's page.

#include <algorithm>

#include "platform/foundation/Base64.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Text.h"
#include "tools/standin-service/ServiceOperations.h"

namespace ql::standin {

namespace {

// Answer marks in a reviewed exam; a fresh exam marks nothing.
constexpr std::int64_t CorrectAnswerFlag = 1;
constexpr std::int64_t WrongChoiceFlag = 2;
constexpr std::size_t MaxNotePhotos = 3;

std::string escapeHTML(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// The book's questions; with a taken test, the right answers and the student's wrong choices are marked.
ns::Array questionList(const ServiceState& state, std::int64_t bookId, const TestRecord* review) {
    ns::Array list;
    std::int64_t index = 0;
    for (const Question* q : state.questionsOfBook(bookId)) {
        std::optional<std::int64_t> chosen;
        if (review) {
            auto it = std::ranges::find(review->choices, q->questionId, &AnswerChoice::first);
            if (it != review->choices.end()) chosen = it->second;
        }
        ns::Array answers;
        std::int64_t order = 0;
        for (const Answer& a : q->answers) {
            std::int64_t flag = 0;
            if (review && a.correct) flag = CorrectAnswerFlag;
            else if (review && chosen == a.answerId) flag = WrongChoiceFlag;
            answers.push_back(ns::Dictionary{{"AnswerId", a.answerId},
                                             {"AnswerFlag", flag},
                                             {"Order", ++order},
                                             {"OrderStr", std::string(1, static_cast<char>('A' + order - 1))},
                                             {"AnswerContent", a.content}});
        }
        list.push_back(ns::Dictionary{{"BookId", q->bookId},
                                      {"Index", ++index},
                                      {"AnswerList", std::move(answers)},
                                      {"QuestionId", q->questionId},
                                      {"QuestionContent", q->content},
                                      {"QeustionContentHtml", "<p>" + escapeHTML(q->content) + "</p>"}});
    }
    return list;
}

ns::Dictionary createExam(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const Book* book = state.book(form.integer("bookId"));
    if (!book) return refused(UnknownBookMessage);
    if (state.questionsOfBook(book->bookId).empty()) return refused("该书暂无试题");
    const std::int64_t examId = state.nextId("exam");
    state.exams[examId] = {examId, s->uid, book->bookId, false};
    ns::Dictionary reply = succeeded();
    reply.set("myexamId", examId);
    reply.set("questionList", questionList(state, book->bookId, nullptr));
    return reply;
}

ns::Dictionary submitAnswers(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    auto exam = state.exams.find(form.integer("myexamId"));
    if (exam == state.exams.end() || exam->second.uid != s->uid) return refused("试卷不存在");
    if (exam->second.submitted) return refused("试卷已提交");
    const auto choices = ServiceState::parseAnswers(form.text("answerdata").value_or(""));
    if (!choices) return refused("答案格式有误");
    for (const AnswerChoice& choice : *choices) {
        const Question* q = state.question(choice.first);
        if (!q || q->bookId != exam->second.bookId) return refused("答案与试卷不符");
    }
    TestRecord record = state.score(s->uid, exam->second.bookId, *choices);
    record.testId = state.nextId("test");
    record.createTime = ServiceState::now();
    exam->second.submitted = true;
    ns::Dictionary reply = succeeded("提交成功");
    reply.set("IsPass", record.passed ? 1 : 0);
    reply.set("Score", record.score);
    state.tests.push_back(std::move(record));
    return reply;
}

ns::Dictionary testDetail(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const TestRecord* test = state.latestTest(s->uid, form.integer("bookId"));
    if (!test) return refused("还没有参加过该书的测试");
    ns::Dictionary reply = succeeded();
    reply.set("myexamId", test->testId);
    reply.set("questionList", questionList(state, test->bookId, test));
    return reply;
}

// Newest first, grouped by day.
ns::Dictionary testHistory(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    std::vector<const TestRecord*> found;
    for (const TestRecord& t : state.tests) {
        if (t.uid == s->uid) found.push_back(&t);
    }
    std::ranges::stable_sort(found, [](const TestRecord* a, const TestRecord* b) {
        return a->createTime != b->createTime ? a->createTime > b->createTime : a->testId > b->testId;
    });
    std::vector<DatedEntry> entries;
    for (const TestRecord* t : page(found, form.integer("pageIndex"), form.integer("pageSize"))) {
        ns::Value entry = testInfoEntry(state, s->uid, t->bookId, t->createTime);
        // The entry shows this test, not the latest one of the book.
        ns::Dictionary& fields = *entry.mutableDictionaryStorage();
        fields.set("TestId", t->testId);
        fields.set("Score", t->score);
        fields.set("IsPass", t->passed ? 1 : 0);
        fields.set("CorrectNum", t->correct);
        entries.push_back({t->createTime, std::move(entry)});
    }
    ns::Dictionary reply = succeeded();
    reply.set("testList", groupByDay(entries));
    return reply;
}

// The photos arrive as JSON text: an array of base64 texts, or of objects each carrying one.
std::optional<std::vector<ns::Data>> notePhotos(std::string_view imagedata) {
    std::vector<ns::Data> photos;
    if (imagedata.empty()) return photos;
    const ns::Value parsed = ns::JSONSerialization::JSONObjectWithData(imagedata, 0, nullptr);
    const ns::Array* list = parsed.asArray();
    if (!list || list->size() > MaxNotePhotos) return std::nullopt;
    for (const ns::Value& item : *list) {
        std::optional<ns::Data> bytes;
        if (item.isString()) {
            bytes = ns::dataWithBase64EncodedString(item.asString());
        } else if (const ns::Dictionary* fields = item.asDictionary()) {
            for (const auto& [key, value] : *fields) {
                if (value.isString() && (bytes = ns::dataWithBase64EncodedString(value.asString()))) break;
            }
        }
        if (!bytes || bytes->empty()) return std::nullopt;
        photos.push_back(std::move(*bytes));
    }
    return photos;
}

ns::Dictionary addNote(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const Book* book = state.book(form.integer("bookId"));
    if (!book) return refused(UnknownBookMessage);
    const std::string content = form.text("content").value_or("");
    if (ns::stringByTrimmingCharactersInSet(content, ns::CharacterSet::whitespaceAndNewlineCharacterSet()).empty()) {
        return refused("内容不能为空");
    }
    auto photos = notePhotos(form.text("imagedata").value_or(""));
    if (!photos) return refused("图片数据有误");
    Note note;
    note.feelId = state.nextId("note");
    note.uid = s->uid;
    note.bookId = book->bookId;
    note.content = content;
    note.feelTypeStr = "读后感";
    note.createTime = ServiceState::now();
    for (ns::Data& photo : *photos) {
        const std::string name = std::to_string(note.feelId) + "-" + std::to_string(note.photos.size() + 1) + ".jpg";
        note.photos.push_back(state.storeUpload("Feel", name, std::move(photo)));
    }
    ns::Dictionary reply = succeeded("发表成功");
    reply.set("feelId", note.feelId);
    state.notes.push_back(std::move(note));
    return reply;
}

ns::Dictionary singleNote(ServiceState& state, const Form& form) {
    const Note* note = state.note(form.integer("feelId"));
    if (!note) return refused("读书笔记不存在");
    ns::Array urls;
    for (const std::string& photo : note->photos) urls.push_back(state.absoluteURL(photo));
    ns::Dictionary reply = succeeded();
    reply.set("feel", ns::Dictionary{{"BookId", note->bookId},
                                     {"CheckTime", note->checkTime},
                                     {"CheckUserId", note->checkUserId},
                                     {"FeelId", note->feelId},
                                     {"FeelType", note->feelType},
                                     {"Status", note->status},
                                     {"Content", note->content},
                                     {"CreateTime", note->createTime},
                                     {"FeelTypeStr", note->feelTypeStr},
                                     {"ImgageUrlList", std::move(urls)}});
    return reply;
}

ns::Value rankRow(ServiceState& state, const Student& s, std::int64_t row) {
    return ns::Dictionary{{"UserId", s.uid},
                          {"RealName", s.realName},
                          {"PhotoStr", state.absoluteURL(s.photo)},
                          {"Sex", s.sex},
                          {"MyTitle", s.myTitle},
                          {"Mobile", s.mobile},
                          {"TestPassNum", state.passedCount(s.uid)},
                          {"FlowerNumber", s.flowerNumber},
                          {"RowIndex", row}};
}

// The student's own class when none is named; their own row is left out when the class is not theirs.
ns::Dictionary classRank(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    std::string classId = form.text("ClassId").value_or("");
    if (classId.empty()) classId = s->classId;
    ns::Array rows;
    ns::Dictionary reply = succeeded();
    const auto ranking = state.classRanking(classId);
    for (std::size_t i = 0; i < ranking.size(); ++i) {
        rows.push_back(rankRow(state, *ranking[i], static_cast<std::int64_t>(i) + 1));
        if (ranking[i] == s) reply.set("MyRank", rows.back());
    }
    reply.set("RankList", std::move(rows));
    return reply;
}

ns::Value studentBookEntry(const ServiceState& state, std::int64_t uid, const Book& book) {
    return ns::Dictionary{{"AdminUserId", uid},
                          {"BookName", book.name},
                          {"BookId", book.bookId},
                          {"FlowerCount", book.flowerCount},
                          {"ImageUrl", state.absoluteURL(book.imageUrl)}};
}

// The page of the student named by `uid`: type 1 pages the passed tests only, 2 the collection only,
// anything else both.
ns::Dictionary personalPage(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const std::int64_t type = form.integer("type");
    std::vector<const Book*> passed, collected;
    for (const Book& book : state.books) {
        if (state.hasPassed(s->uid, book.bookId)) passed.push_back(&book);
        if (state.hasCollected(s->uid, book.bookId)) collected.push_back(&book);
    }
    auto entries = [&](const std::vector<const Book*>& books) {
        ns::Array list;
        for (const Book* book : page(books, form.integer("pageIndex"), form.integer("pageSize"))) {
            list.push_back(studentBookEntry(state, s->uid, *book));
        }
        return list;
    };
    ns::Dictionary reply = succeeded();
    reply.set("user", ns::Dictionary{{"BookCollectionNum", state.collectionCount(s->uid)},
                                     {"AreaName", s->areaName},
                                     {"FlowerNumber", s->flowerNumber},
                                     {"Grade", s->grade},
                                     {"CityName", s->cityName},
                                     {"ClassName", s->className},
                                     {"Photo", s->photo},
                                     {"PhotoStr", state.absoluteURL(s->photo)},
                                     {"RealName", s->realName},
                                     {"SchoolName", s->schoolName},
                                     {"MyTitle", s->myTitle},
                                     {"TeacherName", s->teacherName},
                                     {"TestCount", state.testCount(s->uid)},
                                     {"UserId", s->uid},
                                     {"PersonGradeAndClass", s->schoolName + s->className}});
    if (type != 2) reply.set("testList", entries(passed));
    if (type != 1) reply.set("bookList", entries(collected));
    return reply;
}

}  // namespace

void addReadingOperations(OperationTable& table) {
    table["Mobile/CreateExamByBook"] = createExam;
    table["Mobile/SaveStudentAnswer"] = submitAnswers;
    table["Mobile/GetMyTestDetail"] = testDetail;
    table["Mobile/GetMyTestInfo"] = testHistory;
    table["Mobile/AddBookFeel"] = addNote;
    table["Mobile/GetSingleFeel"] = singleNote;
    table["Mobile/GetMyRank"] = classRank;
    table["Mobile/GetStudentPersonHomeIndex"] = personalPage;
}

}  // namespace ql::standin
