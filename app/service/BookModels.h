#pragma once
// Request and reply models of the catalogue (categories, book lists and search, details, recommendations),
// of comments and likes and of the student's collection, with the two menu builders of the book store's
// filters. Property names are the form fields and JSON keys, case included.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/service/BaseReq.h"
#include "app/service/BaseRsp.h"
#include "app/service/ReadingModels.h"
#include "mapping/MMHooks.h"

namespace ql {

class GetBookSortTreeReq : public BaseReq {
    QL_OBJECT(GetBookSortTreeReq, BaseReq)
};

// The book store builds its BookSortModel entries from these dictionaries itself.
class GetBookSortTreeRsp : public BaseRsp {
    QL_OBJECT(GetBookSortTreeRsp, BaseRsp)
    QL_PROPERTY(ns::Array, sortList)
};

class BookSortModel : public ns::Object {
    QL_OBJECT(BookSortModel, ns::Object)
    QL_PROPERTY(std::int64_t, SortId)
    QL_PROPERTY(std::string, SortName)
    QL_PROPERTY(std::int64_t, gradeId)
    QL_PROPERTY(std::int64_t, orderbytype)
public:
    // "全部年级" with gradeId 0, then "1年级" to "6年级" with gradeId 1 to 6.
    static std::vector<std::shared_ptr<BookSortModel>> arrayForGradeMenu();
    // One entry per name, in order. The ordering codes sent to the service are 2, 1, 3, 4, …: the first
    // two menu entries swap codes.
    static std::vector<std::shared_ptr<BookSortModel>> arrayForSortMenuWithSortNameArray(
        const std::vector<std::string>& sortNames);
};

class GetBookListReq : public BaseReq {
    QL_OBJECT(GetBookListReq, BaseReq)
    QL_PROPERTY(std::int64_t, gradeId)
    QL_PROPERTY(std::int64_t, sortId)
    QL_PROPERTY(std::optional<std::string>, name)  // the search text
    QL_PROPERTY(std::int64_t, pageIndex)
    QL_PROPERTY(std::int64_t, pageSize)
    QL_PROPERTY(std::int64_t, orderbytype)
};

class BookListModel : public ns::Object {
    QL_OBJECT(BookListModel, ns::Object)
    QL_PROPERTY(std::int64_t, BookId)
    QL_PROPERTY(std::string, BookName)
    QL_PROPERTY(std::string, ImageUrl)
    QL_PROPERTY(std::int64_t, Flower)
    QL_PROPERTY(std::int64_t, FlowerCount)
};

class GetBookListRsp : public BaseRsp {
    QL_OBJECT(GetBookListRsp, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::int64_t, totalCount)
    QL_PROPERTY(std::vector<std::shared_ptr<BookListModel>>, bookList)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"bookList", ns::Value(BookListModel::classObject().name())}};
    }
};

class GetBookDetailShowReq : public BaseReq {
    QL_OBJECT(GetBookDetailShowReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
};

class BookDetailModel : public ns::Object {
    QL_OBJECT(BookDetailModel, ns::Object)
    QL_PROPERTY(std::int64_t, BookId)
    QL_PROPERTY(std::string, BookName)
    QL_PROPERTY(std::int64_t, CommentsCount)
    QL_PROPERTY(std::int64_t, FlowerCount)
    QL_PROPERTY(std::int64_t, GoodCount)
    QL_PROPERTY(std::int64_t, IsCollect)
    QL_PROPERTY(std::string, ISBN)
    QL_PROPERTY(std::string, ImageUrl)
    QL_PROPERTY(std::string, Press)
    QL_PROPERTY(std::string, Introduce)
    QL_PROPERTY(std::int64_t, IsComment)
    QL_PROPERTY(std::int64_t, IsPass)
    QL_PROPERTY(std::int64_t, IsGood)
    QL_PROPERTY(std::string, FeelId)
};

class GetBookDetailShowRsp : public BaseRsp {
    QL_OBJECT(GetBookDetailShowRsp, BaseRsp)
    QL_PROPERTY(std::shared_ptr<BookDetailModel>, book)
};

class GetCommentShowReq : public BaseReq {
    QL_OBJECT(GetCommentShowReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
    QL_PROPERTY(std::int64_t, pageIndex)
    QL_PROPERTY(std::int64_t, pageSize)
};

class BookCommentModel : public ns::Object {
    QL_OBJECT(BookCommentModel, ns::Object)
    QL_PROPERTY(std::int64_t, CommentId)
    QL_PROPERTY(std::string, Content)
    QL_PROPERTY(std::int64_t, UserId)
    QL_PROPERTY(std::string, CreateTimeStr)
    QL_PROPERTY(std::string, CreateTime)
    QL_PROPERTY(std::string, Photo)
    QL_PROPERTY(std::string, PhotoUrl)
    QL_PROPERTY(std::string, RealName)
};

class GetCommentShowRsp : public BaseRsp {
    QL_OBJECT(GetCommentShowRsp, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::vector<std::shared_ptr<BookCommentModel>>, commentList)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"commentList", ns::Value(BookCommentModel::classObject().name())}};
    }
};

class AddCommentReq : public BaseReq {
    QL_OBJECT(AddCommentReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
    QL_PROPERTY(std::optional<std::string>, comment)
};

class AddCommentRsp : public BaseRsp {
    QL_OBJECT(AddCommentRsp, BaseRsp)
    QL_PROPERTY(std::int64_t, commentCount)
};

class DeleteCommentReq : public BaseReq {
    QL_OBJECT(DeleteCommentReq, BaseReq)
    QL_PROPERTY(std::int64_t, commentId)
    QL_PROPERTY(std::int64_t, bookId)
};

class DeleteCommentRsp : public BaseRsp {
    QL_OBJECT(DeleteCommentRsp, BaseRsp)
    QL_PROPERTY(std::int64_t, commentCount)
};

class AddGoodReq : public BaseReq {
    QL_OBJECT(AddGoodReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
};

class AddGoodRsp : public BaseRsp {
    QL_OBJECT(AddGoodRsp, BaseRsp)
    QL_PROPERTY(std::int64_t, goodCount)
};

class CancelGoodReq : public BaseReq {
    QL_OBJECT(CancelGoodReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
};

class CancelGoodRsp : public BaseRsp {
    QL_OBJECT(CancelGoodRsp, BaseRsp)
    QL_PROPERTY(std::int64_t, goodCount)
};

class AddBookCollectReq : public BaseReq {
    QL_OBJECT(AddBookCollectReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
};

class AddBookCollectRsp : public BaseRsp {
    QL_OBJECT(AddBookCollectRsp, BaseRsp)
};

class DeleteBookCollectReq : public BaseReq {
    QL_OBJECT(DeleteBookCollectReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
};

class DeleteBookCollectRsp : public BaseRsp {
    QL_OBJECT(DeleteBookCollectRsp, BaseRsp)
};

class GetRecommendBookListReq : public BaseReq {
    QL_OBJECT(GetRecommendBookListReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
    QL_PROPERTY(std::int64_t, top)  // how many books at most
};

class GetRecommendBookListRsp : public BaseRsp {
    QL_OBJECT(GetRecommendBookListRsp, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::vector<std::shared_ptr<BookListModel>>, bookList)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"bookList", ns::Value(BookListModel::classObject().name())}};
    }
};

// Paging as texts here, as integers in the other list requests; on the wire all are decimal text.
class CollectListReq : public BaseReq {
    QL_OBJECT(CollectListReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, pageSize)
    QL_PROPERTY(std::optional<std::string>, pageIndex)
};

// The collection has the test history's shape: days, each with its books.
class GetMyCollectInfoRsq : public BaseRsp {
    QL_OBJECT(GetMyCollectInfoRsq, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::vector<std::shared_ptr<TestDateModel>>, collectionList)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"collectionList", ns::Value(TestDateModel::classObject().name())}};
    }
};

}  // namespace ql
