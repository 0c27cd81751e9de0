#pragma once
// Binding a mobile number for a student who signed in without one: the number, a verification code sent
// to it, and on success the tab shell with a fresh silent sign-in.

#include <memory>

#include "app/account/CodeScreen.h"

namespace ql {

class LoginDataModel;

inline constexpr std::string_view UnknownStudentMessage = "找不到该用户";

class BindViewController : public CodeScreen {
    QL_OBJECT(BindViewController, CodeScreen)
public:
    BindViewController();

    void viewDidLoad() override;

    void requestTheLinkLoginTypeWithMobileNum();
    void autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record);

    std::shared_ptr<ui::Button> bindBtn() const { return confirmButton(); }

protected:
    void requestCode(const std::string& mobile) override;
    void confirmCode() override { requestTheLinkLoginTypeWithMobileNum(); }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);
    std::int64_t sessionUid() const;
};

}  // namespace ql
