#include "tools/standin-service/ServiceOperations.h"

#include <algorithm>

namespace ql::standin {

const OperationTable& serviceOperations() {
    static const OperationTable table = [] {
        OperationTable t;
        addAccountOperations(t);
        addBookOperations(t);
        addReadingOperations(t);
        return t;
    }();
    return table;
}

ns::Dictionary succeeded(std::string_view msg) { return {{"result", 1}, {"msg", msg}}; }

ns::Dictionary refused(std::string_view msg) { return {{"result", 0}, {"msg", msg}}; }

ns::Value bookListEntry(const ServiceState& state, const Book& book) {
    return ns::Dictionary{{"BookId", book.bookId},
                          {"BookName", book.name},
                          {"ImageUrl", state.absoluteURL(book.imageUrl)},
                          {"Flower", book.flower},
                          {"FlowerCount", book.flowerCount}};
}

ns::Array recommendedBooks(const ServiceState& state, const Student& student, std::size_t limit) {
    std::vector<const Book*> books;
    for (const Book& book : state.books) books.push_back(&book);
    std::ranges::stable_sort(books, [&](const Book* a, const Book* b) {
        const bool gradeA = a->grade == student.grade, gradeB = b->grade == student.grade;
        if (gradeA != gradeB) return gradeA;
        return a->flowerCount > b->flowerCount;
    });
    ns::Array list;
    for (const Book* book : books) {
        if (list.size() == limit) break;
        list.push_back(bookListEntry(state, *book));
    }
    return list;
}

std::int64_t rankInClass(ServiceState& state, const Student& student, std::string_view classId) {
    const auto ranking = state.classRanking(classId);
    const auto it = std::ranges::find(ranking, &student);
    return it == ranking.end() ? 0 : static_cast<std::int64_t>(it - ranking.begin()) + 1;
}

ns::Value testInfoEntry(const ServiceState& state, std::int64_t uid, std::int64_t bookId, std::string_view createTime) {
    const Book* book = state.book(bookId);
    const TestRecord* test = state.latestTest(uid, bookId);
    const Note* note = state.noteOf(uid, bookId);
    return ns::Dictionary{{"BookName", book ? book->name : std::string()},
                          {"CorrectNum", test ? test->correct : 0},
                          {"isFeeded", note != nullptr},
                          {"FeelId", note ? ns::Value(note->feelId) : ns::Value("")},
                          {"TestId", test ? ns::Value(test->testId) : ns::Value("")},
                          {"Score", test ? test->score : 0},
                          {"IsPass", test && test->passed ? 1 : 0},
                          {"CreateTimeStr", createTime},
                          {"BookId", bookId},
                          {"ImageUrl", book ? state.absoluteURL(book->imageUrl) : std::string()}};
}

ns::Array groupByDay(const std::vector<DatedEntry>& entries) {
    ns::Array days;
    std::string currentDay;
    ns::Array currentBooks;
    auto close = [&] {
        if (!currentBooks.empty()) {
            days.push_back(ns::Dictionary{{"DateTime", currentDay}, {"BookList", std::move(currentBooks)}});
        }
        currentBooks = {};
    };
    for (const DatedEntry& dated : entries) {
        const std::string day = dated.createTime.substr(0, 10);
        if (day != currentDay) {
            close();
            currentDay = day;
        }
        currentBooks.push_back(dated.entry);
    }
    close();
    return days;
}

}  // namespace ql::standin
