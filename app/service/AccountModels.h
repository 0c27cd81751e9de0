#pragma once
// Request and reply models of sign-in, verification codes, passwords, the bound mobile number, the avatar,
// the personal information and the home-page summary. Property names are the form fields and JSON keys,
// case included. Request texts that may be absent are optional: an absent one is left out of the form,
// an empty one is sent empty.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/service/BaseReq.h"
#include "app/service/BaseRsp.h"
#include "app/service/BookModels.h"
#include "mapping/MMHooks.h"

namespace ql {

class User : public ns::Object {
    QL_OBJECT(User, ns::Object)
    QL_PROPERTY(std::string, ClassId)
    QL_PROPERTY(std::string, TeacherName)
    QL_PROPERTY(std::string, Grade)
    QL_PROPERTY(std::string, SchoolName)
};

class SortModel : public ns::Object {
    QL_OBJECT(SortModel, ns::Object)
    QL_PROPERTY(std::string, SortName)
    QL_PROPERTY(std::string, SortId)
};

class LoginReq : public BaseReq {
    QL_OBJECT(LoginReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, userName)  // the mobile number
    QL_PROPERTY(std::optional<std::string>, password)
};

// The same counters are integers here and texts in GetStuIndexContentRsp: each reply keeps the service's kinds.
class LoginRsp : public BaseRsp {
    QL_OBJECT(LoginRsp, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::string, photo)
    QL_PROPERTY(std::int64_t, count)
    QL_PROPERTY(std::int64_t, rank)
    QL_PROPERTY(std::int64_t, collectionNum)
    QL_PROPERTY(std::int64_t, testNum)
    QL_PROPERTY(std::shared_ptr<User>, user)
    QL_PROPERTY(std::vector<std::shared_ptr<BookListModel>>, bookList)
    QL_PROPERTY(std::int64_t, uid)
    QL_PROPERTY(std::string, userName)
    QL_PROPERTY(std::string, flowerNumber)
    QL_PROPERTY(std::string, myTitle)
    QL_PROPERTY(std::string, realName)
    QL_PROPERTY(std::string, location)
    QL_PROPERTY(std::string, mobile)
    QL_PROPERTY(std::vector<std::shared_ptr<SortModel>>, sortList)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"sortList", ns::Value(SortModel::classObject().name())},
                {"bookList", ns::Value(BookListModel::classObject().name())}};
    }
};

class SendVerificationReq : public BaseReq {
    QL_OBJECT(SendVerificationReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, mobile)
    QL_PROPERTY(std::int64_t, type)
    QL_PROPERTY(std::int64_t, stuType)
};

class SendVerificationRsp : public BaseRsp {
    QL_OBJECT(SendVerificationRsp, BaseRsp)
};

class ConfirmVerificationReq : public BaseReq {
    QL_OBJECT(ConfirmVerificationReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, code)
    QL_PROPERTY(std::optional<std::string>, mobile)
    QL_PROPERTY(std::int64_t, type)
    QL_PROPERTY(std::int64_t, stuType)
};

class ConfirmVerificationRsp : public BaseRsp {
    QL_OBJECT(ConfirmVerificationRsp, BaseRsp)
};

// `type` is a text here, unlike the other verification requests; on the wire both are decimal text.
class GetPasswordForgetReq : public BaseReq {
    QL_OBJECT(GetPasswordForgetReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, mobile)
    QL_PROPERTY(std::optional<std::string>, type)
};

class GetPasswordForgetRsp : public BaseRsp {
    QL_OBJECT(GetPasswordForgetRsp, BaseRsp)
    QL_PROPERTY(std::int64_t, uid)
};

class SetNewPasswordReq : public BaseReq {
    QL_OBJECT(SetNewPasswordReq, BaseReq)
    QL_PROPERTY(std::int64_t, type)
    QL_PROPERTY(std::optional<std::string>, NEWPassword)
    QL_PROPERTY(std::optional<std::string>, oldPassword)
};

class SetNewPasswordRsp : public BaseRsp {
    QL_OBJECT(SetNewPasswordRsp, BaseRsp)
};

class ChangeMobileReq : public BaseReq {
    QL_OBJECT(ChangeMobileReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, code)
    QL_PROPERTY(std::optional<std::string>, mobile)
    QL_PROPERTY(std::int64_t, stuType)
};

class PhotoUpdateReq : public BaseReq {
    QL_OBJECT(PhotoUpdateReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, imagedata)  // the new avatar as base64 text
};

class PhotoUpdateRsp : public BaseRsp {
    QL_OBJECT(PhotoUpdateRsp, BaseRsp)
    QL_PROPERTY(std::string, photo)
};

class UserModel : public ns::Object {
    QL_OBJECT(UserModel, ns::Object)
    QL_PROPERTY(std::string, RealName)
    QL_PROPERTY(std::string, Grade)
    QL_PROPERTY(std::string, CityName)
    QL_PROPERTY(std::string, AreaName)
    QL_PROPERTY(std::string, SchoolName)
    QL_PROPERTY(std::string, ClassName)
    QL_PROPERTY(std::string, FlowerNumber)
    QL_PROPERTY(std::string, MyTitle)
    QL_PROPERTY(std::string, TeacherName)
    QL_PROPERTY(std::string, userName)
    QL_PROPERTY(std::string, PersonGradeAndClass)
};

class PersonInfoRsp : public BaseRsp {
    QL_OBJECT(PersonInfoRsp, BaseRsp)
    QL_PROPERTY(std::shared_ptr<UserModel>, user)
};

class GetStuIndexContentReq : public BaseReq {
    QL_OBJECT(GetStuIndexContentReq, BaseReq)
    QL_PROPERTY(std::optional<std::string>, classId)
};

class GetStuIndexContentRsp : public BaseRsp {
    QL_OBJECT(GetStuIndexContentRsp, BaseRsp)
    QL_MM_HOOKS()
    QL_PROPERTY(std::string, testNum)
    QL_PROPERTY(std::string, count)
    QL_PROPERTY(std::string, rank)
    QL_PROPERTY(std::string, collectionNum)
    QL_PROPERTY(std::vector<std::shared_ptr<BookListModel>>, bookList)
public:
    static ns::Dictionary mm_objectClassInArray() {
        return {{"bookList", ns::Value(BookListModel::classObject().name())}};
    }
};

}  // namespace ql
