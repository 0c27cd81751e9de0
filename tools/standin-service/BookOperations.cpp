// The catalogue, comments, likes and the student's collection.

#include <algorithm>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Text.h"
#include "tools/standin-service/ServiceOperations.h"

namespace ql::standin {

namespace {

ns::Dictionary bookSortTree(ServiceState& state, const Form&) {
    ns::Array sortList;
    for (const Sort& sort : state.sorts) {
        sortList.push_back(ns::Dictionary{{"SortId", sort.sortId},
                                          {"SortName", sort.name},
                                          {"gradeId", sort.gradeId},
                                          {"orderbytype", sort.orderbytype}});
    }
    ns::Dictionary reply = succeeded();
    reply.set("sortList", std::move(sortList));
    return reply;
}

// orderbytype: 1 newest, 2 most flowers, 3 best rated; anything else in catalogue order.
ns::Dictionary bookList(ServiceState& state, const Form& form) {
    const std::int64_t gradeId = form.integer("gradeId");
    const std::int64_t sortId = form.integer("sortId");
    const std::string name = form.text("name").value_or("");
    std::vector<const Book*> found;
    for (const Book& book : state.books) {
        if (gradeId > 0 && book.grade != gradeId) continue;
        if (sortId > 0 && book.sortId != sortId) continue;
        if (!name.empty() && book.name.find(name) == std::string::npos) continue;
        found.push_back(&book);
    }
    switch (form.integer("orderbytype")) {
    case 1: std::ranges::stable_sort(found, std::greater<>(), &Book::bookId); break;
    case 2: std::ranges::stable_sort(found, std::greater<>(), &Book::flowerCount); break;
    case 3: std::ranges::stable_sort(found, std::greater<>(), &Book::flower); break;
    default: break;
    }
    ns::Array list;
    for (const Book* book : page(found, form.integer("pageIndex"), form.integer("pageSize"))) {
        list.push_back(bookListEntry(state, *book));
    }
    ns::Dictionary reply = succeeded();
    reply.set("totalCount", static_cast<std::int64_t>(found.size()));
    reply.set("bookList", std::move(list));
    return reply;
}

// Works without a signed-in student too; the student's own marks are then 0.
ns::Dictionary bookDetail(ServiceState& state, const Form& form) {
    const Book* book = state.book(form.integer("bookId"));
    if (!book) return refused(UnknownBookMessage);
    const std::int64_t uid = form.integer("uid");
    const bool commented = std::ranges::any_of(
        state.comments, [&](const Comment& c) { return c.bookId == book->bookId && c.userId == uid; });
    const Note* note = state.noteOf(uid, book->bookId);
    ns::Dictionary reply = succeeded();
    reply.set("book", ns::Dictionary{{"BookId", book->bookId},
                                     {"BookName", book->name},
                                     {"CommentsCount", state.commentCount(book->bookId)},
                                     {"FlowerCount", book->flowerCount},
                                     {"GoodCount", state.likeCount(book->bookId)},
                                     {"IsCollect", state.hasCollected(uid, book->bookId) ? 1 : 0},
                                     {"ISBN", book->isbn},
                                     {"ImageUrl", state.absoluteURL(book->imageUrl)},
                                     {"Press", book->press},
                                     {"Introduce", book->introduce},
                                     {"IsComment", commented ? 1 : 0},
                                     {"IsPass", state.hasPassed(uid, book->bookId) ? 1 : 0},
                                     {"IsGood", state.likes.contains({uid, book->bookId}) ? 1 : 0},
                                     {"FeelId", note ? std::to_string(note->feelId) : std::string()}});
    return reply;
}

// Newest first.
ns::Dictionary commentShow(ServiceState& state, const Form& form) {
    const std::int64_t bookId = form.integer("bookId");
    if (!state.book(bookId)) return refused(UnknownBookMessage);
    std::vector<const Comment*> found;
    for (const Comment& c : state.comments) {
        if (c.bookId == bookId) found.push_back(&c);
    }
    std::ranges::reverse(found);
    ns::Array list;
    for (const Comment* c : page(found, form.integer("pageIndex"), form.integer("pageSize"))) {
        const Student* author = state.student(c->userId);
        const std::string photo = author ? author->photo : std::string();
        list.push_back(ns::Dictionary{{"CommentId", c->commentId},
                                      {"Content", c->content},
                                      {"UserId", c->userId},
                                      {"CreateTimeStr", c->createTime.size() > 5 ? c->createTime.substr(5, 11) : c->createTime},
                                      {"CreateTime", c->createTime},
                                      {"Photo", photo},
                                      {"PhotoUrl", state.absoluteURL(photo)},
                                      {"RealName", author ? author->realName : std::string()}});
    }
    ns::Dictionary reply = succeeded();
    reply.set("commentList", std::move(list));
    return reply;
}

ns::Dictionary withCount(ns::Dictionary reply, std::string_view key, std::int64_t count) {
    reply.set(std::string(key), count);
    return reply;
}

ns::Dictionary addComment(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const Book* book = state.book(form.integer("bookId"));
    if (!book) return refused(UnknownBookMessage);
    const std::string comment = form.text("comment").value_or("");
    if (ns::stringByTrimmingCharactersInSet(comment, ns::CharacterSet::whitespaceAndNewlineCharacterSet()).empty()) {
        return refused("评论内容不能为空");
    }
    state.comments.push_back({state.nextId("comment"), book->bookId, s->uid, comment, ServiceState::now()});
    return withCount(succeeded("评论成功"), "commentCount", state.commentCount(book->bookId));
}

ns::Dictionary deleteComment(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const std::int64_t bookId = form.integer("bookId");
    auto it = std::ranges::find_if(state.comments, [&](const Comment& c) {
        return c.commentId == form.integer("commentId") && c.bookId == bookId;
    });
    if (it == state.comments.end()) return refused("评论不存在");
    if (it->userId != s->uid) return refused("只能删除自己的评论");
    state.comments.erase(it);
    return withCount(succeeded("删除成功"), "commentCount", state.commentCount(bookId));
}

ns::Dictionary addGood(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const Book* book = state.book(form.integer("bookId"));
    if (!book) return refused(UnknownBookMessage);
    if (!state.likes.emplace(s->uid, book->bookId).second) return refused("已经点过赞了");
    return withCount(succeeded("点赞成功"), "goodCount", state.likeCount(book->bookId));
}

ns::Dictionary cancelGood(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const Book* book = state.book(form.integer("bookId"));
    if (!book) return refused(UnknownBookMessage);
    if (!state.likes.erase({s->uid, book->bookId})) return refused("还没有点赞");
    return withCount(succeeded("已取消点赞"), "goodCount", state.likeCount(book->bookId));
}

ns::Dictionary addCollect(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const Book* book = state.book(form.integer("bookId"));
    if (!book) return refused(UnknownBookMessage);
    if (state.hasCollected(s->uid, book->bookId)) return refused("已收藏过该书");
    state.collections.push_back({s->uid, book->bookId, ServiceState::now()});
    return succeeded("收藏成功");
}

ns::Dictionary deleteCollect(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const std::int64_t bookId = form.integer("bookId");
    const auto removed = std::erase_if(state.collections,
                                       [&](const Collection& c) { return c.uid == s->uid && c.bookId == bookId; });
    if (removed == 0) return refused("尚未收藏该书");
    return succeeded("已取消收藏");
}

// Books of the same kind or grade, the most flowered first; `top` of them (4 when not given).
ns::Dictionary recommendBooks(ServiceState& state, const Form& form) {
    const Book* book = state.book(form.integer("bookId"));
    if (!book) return refused(UnknownBookMessage);
    std::int64_t top = form.integer("top");
    if (top <= 0) top = 4;
    std::vector<const Book*> related;
    for (const Book& other : state.books) {
        if (other.bookId != book->bookId && (other.sortId == book->sortId || other.grade == book->grade)) {
            related.push_back(&other);
        }
    }
    std::ranges::stable_sort(related, std::greater<>(), &Book::flowerCount);
    ns::Array list;
    for (const Book* other : related) {
        if (static_cast<std::int64_t>(list.size()) == top) break;
        list.push_back(bookListEntry(state, *other));
    }
    ns::Dictionary reply = succeeded();
    reply.set("bookList", std::move(list));
    return reply;
}

// Newest first, grouped by day like the test history.
ns::Dictionary myCollections(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    std::vector<const Collection*> found;
    for (const Collection& c : state.collections) {
        if (c.uid == s->uid) found.push_back(&c);
    }
    std::ranges::stable_sort(found, std::greater<>(), &Collection::createTime);
    std::vector<DatedEntry> entries;
    for (const Collection* c : page(found, form.integer("pageIndex"), form.integer("pageSize"))) {
        entries.push_back({c->createTime, testInfoEntry(state, s->uid, c->bookId, c->createTime)});
    }
    ns::Dictionary reply = succeeded();
    reply.set("collectionList", groupByDay(entries));
    return reply;
}

}  // namespace

void addBookOperations(OperationTable& table) {
    table["Mobile/GetBookSortTree"] = bookSortTree;
    table["Mobile/GetBookList"] = bookList;
    table["Mobile/GetBookDetailShow"] = bookDetail;
    table["Mobile/GetCommentShow"] = commentShow;
    table["Mobile/AddComment"] = addComment;
    table["Mobile/DeleteComment"] = deleteComment;
    table["Mobile/AddGood"] = addGood;
    table["Mobile/CancelGood"] = cancelGood;
    table["Mobile/AddBookCollect"] = addCollect;
    table["Mobile/DeleteBookCollect"] = deleteCollect;
    table["Mobile/GetRecommendBookList"] = recommendBooks;
    table["Mobile/GetMyCollectionInfo"] = myCollections;
}

}  // namespace ql::standin
