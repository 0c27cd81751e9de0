#pragma once
// Request and reply models of reading tests (an exam for a book, its questions and answers, submitting
// answers, the test history), of reading notes and of the class (ranking, a classmate's page). Property
// names are the form fields and JSON keys, case and the service's spellings included.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/service/BaseReq.h"
#include "app/service/BaseRsp.h"
#include "mapping/MMHooks.h"

namespace ql {

class CreateExamReq : public BaseReq {
    QL_OBJECT(CreateExamReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
};

class AnswerModel : public ns::Object {
    QL_OBJECT(AnswerModel, ns::Object)
    QL_PROPERTY(std::int64_t, AnswerId)
    QL_PROPERTY(std::int64_t, AnswerFlag)
    QL_PROPERTY(std::int64_t, Order)
    QL_PROPERTY(std::string, OrderStr)
    QL_PROPERTY(std::string, AnswerContent)
};

class QuestionModel : public ns::Object {
    QL_OBJECT(QuestionModel, ns::Object)
    QL_MM_HOOKS()
    QL_PROPERTY(std::int64_t, BookId)
    QL_PROPERTY(std::int64_t, Index)
    QL_PROPERTY(std::vector<std::shared_ptr<AnswerModel>>, AnswerList)
    QL_PROPERTY(std::string, QuestionId)
    QL_PROPERTY(std::string, QuestionContent)
    QL_PROPERTY(std::string, QeustionContentHtml)  // the question as an HTML fragment
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"AnswerList", ns::Value(AnswerModel::classObject().name())}};
    }
};

class CreateExamRsp : public BaseRsp {
    QL_OBJECT(CreateExamRsp, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::int64_t, myexamId)
    QL_PROPERTY(std::vector<std::shared_ptr<QuestionModel>>, questionList)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"questionList", ns::Value(QuestionModel::classObject().name())}};
    }
};

// `answerdata` holds "<QuestionId>,<AnswerId>;" per chosen answer, e.g. "17,305;18,311;"; empty for none.
class SubmitAnserReq : public BaseReq {
    QL_OBJECT(SubmitAnserReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, answerdata)
    QL_PROPERTY(std::int64_t, myexamId)
};

class SubmitAnserRsp : public BaseRsp {
    QL_OBJECT(SubmitAnserRsp, BaseRsp)
    QL_PROPERTY(std::int64_t, IsPass)
    QL_PROPERTY(std::int64_t, Score)
};

// Every value a text, BookId, Score and IsPass included.
class TestInfoModel : public ns::Object {
    QL_OBJECT(TestInfoModel, ns::Object)
    QL_PROPERTY(std::string, BookName)
    QL_PROPERTY(std::string, CorrectNum)
    QL_PROPERTY(bool, isFeeded)
    QL_PROPERTY(std::string, FeelId)
    QL_PROPERTY(std::string, TestId)
    QL_PROPERTY(std::string, Score)
    QL_PROPERTY(std::string, IsPass)
    QL_PROPERTY(std::string, CreateTimeStr)
    QL_PROPERTY(std::string, BookId)
    QL_PROPERTY(std::string, ImageUrl)
};

// One day of the test history or of the collection.
class TestDateModel : public ns::Object {
    QL_OBJECT(TestDateModel, ns::Object)
    QL_MM_HOOKS()
    QL_PROPERTY(std::vector<std::shared_ptr<TestInfoModel>>, BookList)
    QL_PROPERTY(std::string, DateTime)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"BookList", ns::Value(TestInfoModel::classObject().name())}};
    }
};

class GetMyTestInfoRsq : public BaseRsp {
    QL_OBJECT(GetMyTestInfoRsq, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::vector<std::shared_ptr<TestDateModel>>, testList)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"testList", ns::Value(TestDateModel::classObject().name())}};
    }
};

class AddBookFeelReq : public BaseReq {
    QL_OBJECT(AddBookFeelReq, BaseReq)
    QL_PROPERTY(std::int64_t, bookId)
    QL_PROPERTY(std::optional<std::string>, content)
    QL_PROPERTY(std::optional<std::string>, imagedata)  // the note's photos as JSON text
};

class PubContentRsp : public BaseRsp {
    QL_OBJECT(PubContentRsp, BaseRsp)
    QL_PROPERTY(std::int64_t, feelId)
};

class GetSingleFeelReq : public BaseReq {
    QL_OBJECT(GetSingleFeelReq, BaseReq)
    QL_PROPERTY(std::int64_t, feelId)
};

class FeelDetailRsp : public ns::Object {
    QL_OBJECT(FeelDetailRsp, ns::Object)
    QL_PROPERTY(std::int64_t, BookId)
    QL_PROPERTY(std::string, CheckTime)
    QL_PROPERTY(std::int64_t, CheckUserId)
    QL_PROPERTY(std::int64_t, FeelId)
    QL_PROPERTY(std::int64_t, FeelType)
    QL_PROPERTY(std::int64_t, Status)
    QL_PROPERTY(std::string, Content)
    QL_PROPERTY(std::string, CreateTime)
    QL_PROPERTY(std::string, FeelTypeStr)
    QL_PROPERTY(std::vector<std::string>, ImgageUrlList)  // image URLs
};

class GetSingleFeelRsp : public BaseRsp {
    QL_OBJECT(GetSingleFeelRsp, BaseRsp)
    QL_PROPERTY(std::shared_ptr<FeelDetailRsp>, feel)
};

class ImageArray : public ns::Object {
    QL_OBJECT(ImageArray, ns::Object)
    QL_PROPERTY(ns::Array, arry, "T@\"NSMutableArray\",&,N,V_arry")
};

class RankReq : public BaseReq {
    QL_OBJECT(RankReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, ClassId)
};

class StudentListModel : public ns::Object {
    QL_OBJECT(StudentListModel, ns::Object)
    QL_PROPERTY(std::int64_t, UserId)
    QL_PROPERTY(std::string, RealName)
    QL_PROPERTY(std::string, PhotoStr)
    QL_PROPERTY(std::int64_t, Sex)
    QL_PROPERTY(std::string, MyTitle)
    QL_PROPERTY(std::string, Mobile)
    QL_PROPERTY(std::int64_t, TestPassNum)
    QL_PROPERTY(std::int64_t, FlowerNumber)
    QL_PROPERTY(std::int64_t, RowIndex)
};

// The signed-in student's own ranking row.
class MyRank : public StudentListModel {
    QL_OBJECT(MyRank, StudentListModel)
};

class RankRsp : public BaseRsp {
    QL_OBJECT(RankRsp, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::vector<std::shared_ptr<StudentListModel>>, RankList)
    // Qualified: inside this class the plain name is the property.
    QL_PROPERTY(std::shared_ptr<::ql::MyRank>, MyRank)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"RankList", ns::Value(StudentListModel::classObject().name())}};
    }
};

class GetStudentPersonHomeIndexReq : public BaseReq {
    QL_OBJECT(GetStudentPersonHomeIndexReq, BaseReq)
    QL_PROPERTY(std::int64_t, type)
    QL_PROPERTY(std::int64_t, pageSize)
    QL_PROPERTY(std::int64_t, pageIndex)
};

class StudentUseInfo : public ns::Object {
    QL_OBJECT(StudentUseInfo, ns::Object)
    QL_PROPERTY(std::int64_t, BookCollectionNum)
    QL_PROPERTY(std::string, AreaName)
    QL_PROPERTY(std::int64_t, FlowerNumber)
    QL_PROPERTY(std::int64_t, Grade)
    QL_PROPERTY(std::string, CityName)
    QL_PROPERTY(std::string, ClassName)
    QL_PROPERTY(std::string, Photo)
    QL_PROPERTY(std::string, PhotoStr)
    QL_PROPERTY(std::string, RealName)
    QL_PROPERTY(std::string, SchoolName)
    QL_PROPERTY(std::string, MyTitle)
    QL_PROPERTY(std::string, TeacherName)
    QL_PROPERTY(std::int64_t, TestCount)
    QL_PROPERTY(std::int64_t, UserId)
    QL_PROPERTY(std::string, PersonGradeAndClass)
};

class StudentBookListModel : public ns::Object {
    QL_OBJECT(StudentBookListModel, ns::Object)
    QL_PROPERTY(std::int64_t, AdminUserId)
    QL_PROPERTY(std::string, BookName)
    QL_PROPERTY(std::int64_t, BookId)
    QL_PROPERTY(std::int64_t, FlowerCount)
    QL_PROPERTY(std::string, ImageUrl)
};

// Both lists hold the same kind of entry and are shown in the same grid.
class GetStudentPersonHomeIndextRsp : public BaseRsp {
    QL_OBJECT(GetStudentPersonHomeIndextRsp, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::shared_ptr<StudentUseInfo>, user)
    QL_PROPERTY(std::vector<std::shared_ptr<StudentBookListModel>>, testList)
    QL_PROPERTY(std::vector<std::shared_ptr<StudentBookListModel>>, bookList)
public:
    static ns::Dictionary mm_objectClassInArray() {
        const ns::Value element(StudentBookListModel::classObject().name());
        return {{"testList", element}, {"bookList", element}};
    }
};

}  // namespace ql
