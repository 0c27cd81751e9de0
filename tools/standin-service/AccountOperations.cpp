// Sign-in, verification codes, passwords, the bound mobile number, the avatar, the personal information
// and the home-page summary.

#include <algorithm>
#include <optional>

#include "platform/foundation/Base64.h"
#include "platform/foundation/Text.h"
#include "tools/standin-service/ServiceOperations.h"

namespace ql::standin {

namespace {

bool isMobileNumber(std::string_view text) {
    return text.size() == 11 && text.front() == '1' && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

ns::Dictionary login(ServiceState& state, const Form& form) {
    const std::string userName = form.text("userName").value_or("");
    if (userName.empty()) return refused("请输入用户名");
    Student* s = state.studentSigningInAs(userName);
    if (!s || s->password != form.text("password").value_or("")) return refused("用户名或密码错误");
    ns::Dictionary reply = s->mobile.empty() ? ns::Dictionary{{"result", 2}, {"msg", "请绑定手机号"}}
                                             : succeeded("登录成功");
    ns::Array sortList;
    for (const Sort& sort : state.sorts) sortList.push_back(ns::Dictionary{{"SortName", sort.name}, {"SortId", sort.sortId}});
    reply.set("photo", state.absoluteURL(s->photo));
    reply.set("count", state.passedCount(s->uid));
    reply.set("rank", rankInClass(state, *s, s->classId));
    reply.set("collectionNum", state.collectionCount(s->uid));
    reply.set("testNum", state.testCount(s->uid));
    reply.set("user", ns::Dictionary{{"ClassId", s->classId},
                                     {"TeacherName", s->teacherName},
                                     {"Grade", s->grade},
                                     {"SchoolName", s->schoolName}});
    reply.set("bookList", recommendedBooks(state, *s, 6));
    reply.set("uid", s->uid);
    reply.set("userName", s->userName);
    reply.set("flowerNumber", s->flowerNumber);
    reply.set("myTitle", s->myTitle);
    reply.set("realName", s->realName);
    reply.set("location", s->location);
    reply.set("mobile", s->mobile);
    reply.set("sortList", std::move(sortList));
    return reply;
}

// type 0 binds the number to the signed-in student, 1 prepares changing it.
ns::Dictionary sendVerification(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const std::string mobile = form.text("mobile").value_or("");
    if (!isMobileNumber(mobile)) return refused("手机号格式不正确");
    const Student* holder = state.studentWithMobile(mobile);
    if (holder && holder != s) return refused("该手机号已被绑定");
    const std::int64_t type = form.integer("type");
    if (type != 0 && type != 1) return refused("验证类型有误");
    if (type == 1 && holder == s) return refused("新手机号与原手机号相同");
    state.pendingCodes[mobile] = {state.codeFor(mobile), type == 0 ? CodePurpose::BindMobile : CodePurpose::ChangeMobile,
                                  s->uid};
    return succeeded("验证码已发送");
}

ns::Dictionary forgetVerification(ServiceState& state, const Form& form) {
    const std::string mobile = form.text("mobile").value_or("");
    if (!isMobileNumber(mobile)) return refused("手机号格式不正确");
    const Student* s = state.studentWithMobile(mobile);
    if (!s) return refused("该手机号未绑定");
    state.pendingCodes[mobile] = {state.codeFor(mobile), CodePurpose::ForgottenPassword, s->uid};
    ns::Dictionary reply = succeeded("验证码已发送");
    reply.set("uid", s->uid);
    return reply;
}

// Takes the code sent to the number for that purpose, if the form carries it.
std::optional<PendingCode> takeCode(ServiceState& state, const Form& form, CodePurpose purpose) {
    auto it = state.pendingCodes.find(form.text("mobile").value_or(""));
    if (it == state.pendingCodes.end() || it->second.purpose != purpose || it->second.code != form.text("code")) {
        return std::nullopt;
    }
    PendingCode taken = it->second;
    state.pendingCodes.erase(it);
    return taken;
}

// type 0 binds the number (bind-mobile screen), 1 confirms a forgotten-password code.
ns::Dictionary confirmVerification(ServiceState& state, const Form& form) {
    const std::int64_t type = form.integer("type");
    if (type != 0 && type != 1) return refused("验证类型有误");
    const auto code = takeCode(state, form, type == 0 ? CodePurpose::BindMobile : CodePurpose::ForgottenPassword);
    if (!code) return refused("验证码错误");
    Student* s = state.student(code->uid);
    if (!s || s->uid != form.integer("uid")) return refused(UnknownStudentMessage);
    if (type == 0) s->mobile = form.text("mobile").value_or("");
    else state.passwordResets.insert(s->uid);
    return succeeded("验证成功");
}

ns::Dictionary changeMobile(ServiceState& state, const Form& form) {
    const auto code = takeCode(state, form, CodePurpose::ChangeMobile);
    if (!code) return refused("验证码错误");
    Student* s = state.student(form.integer("uid"));
    if (!s || s->uid != code->uid) return refused(UnknownStudentMessage);
    s->mobile = form.text("mobile").value_or("");
    return succeeded("手机号已更换");
}

// type 0 sets a forgotten password after its code was confirmed, 1 changes it with the old one.
ns::Dictionary setNewPassword(ServiceState& state, const Form& form) {
    Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const std::string password = form.text("NEWPassword").value_or("");
    const std::uint64_t length = ns::utf16Length(password);
    if (length < 6 || length > 20) return refused("密码只能6位-20位");
    const std::int64_t type = form.integer("type");
    if (type == 0) {
        if (!state.passwordResets.erase(s->uid)) return refused("请先验证手机号");
    } else if (type == 1) {
        if (form.text("oldPassword").value_or("") != s->password) return refused("原密码错误");
    } else {
        return refused("验证类型有误");
    }
    s->password = password;
    return succeeded("密码设置成功");
}

ns::Dictionary photoUpdate(ServiceState& state, const Form& form) {
    Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    auto bytes = ns::dataWithBase64EncodedString(form.text("imagedata").value_or(""));
    if (!bytes || bytes->empty()) return refused("图片数据有误");
    s->photo = state.storeUpload("Photo", std::to_string(s->uid) + "-" + std::to_string(state.nextId("photo")) + ".jpg",
                                 std::move(*bytes));
    ns::Dictionary reply = succeeded("头像已更新");
    reply.set("photo", state.absoluteURL(s->photo));
    return reply;
}

ns::Dictionary myUserInfo(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    ns::Dictionary reply = succeeded();
    reply.set("user", ns::Dictionary{{"RealName", s->realName},
                                     {"Grade", s->grade},
                                     {"CityName", s->cityName},
                                     {"AreaName", s->areaName},
                                     {"SchoolName", s->schoolName},
                                     {"ClassName", s->className},
                                     {"FlowerNumber", s->flowerNumber},
                                     {"MyTitle", s->myTitle},
                                     {"TeacherName", s->teacherName},
                                     {"userName", s->userName},
                                     {"PersonGradeAndClass", s->schoolName + s->className}});
    return reply;
}

// The counters are the same as sign-in's; the app reads them as texts here.
ns::Dictionary homeIndex(ServiceState& state, const Form& form) {
    const Student* s = state.student(form.integer("uid"));
    if (!s) return refused(UnknownStudentMessage);
    const std::string classId = form.text("classId").value_or("");
    ns::Dictionary reply = succeeded();
    reply.set("testNum", state.testCount(s->uid));
    reply.set("count", state.passedCount(s->uid));
    reply.set("rank", rankInClass(state, *s, classId.empty() ? s->classId : classId));
    reply.set("collectionNum", state.collectionCount(s->uid));
    reply.set("bookList", recommendedBooks(state, *s, 6));
    return reply;
}

}  // namespace

void addAccountOperations(OperationTable& table) {
    table["Mobile/StudentLogin"] = login;
    table["Mobile/SendVerification"] = sendVerification;
    table["Mobile/GetPasswordForget"] = forgetVerification;
    table["Mobile/ConfirmVerification"] = confirmVerification;
    table["Mobile/ChangeMobile"] = changeMobile;
    table["Mobile/SetNewPassword"] = setNewPassword;
    table["Mobile/PhotoUpdate"] = photoUpdate;
    table["Mobile/GetMyUserInfor"] = myUserInfo;
    table["Mobile/GetStuIndexContent"] = homeIndex;
}

}  // namespace ql::standin
