#pragma once
// Replacing the signed-in student's bound mobile number: the current number is shown, a code goes to the
// new one, and on success automatic sign-in goes off and the app returns to the sign-in screen.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/account/CodeScreen.h"

namespace ql::ui {
class Label;
}  // namespace ql::ui

namespace ql {

class LoginDataModel;

inline constexpr std::string_view SameMobileMessage = "您输入的手机号与原手机号相同";

class ChangeBindPhone : public CodeScreen {
    QL_OBJECT(ChangeBindPhone, CodeScreen)
public:
    ChangeBindPhone();

    void viewDidLoad() override;

    void requestTheLinkLoginTypeWithMobileNum();
    void autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record);

    std::shared_ptr<ui::Button> confirmBtn() const { return confirmButton(); }
    std::shared_ptr<ui::Label> phoneLabel() const { return phoneLabel_.lock(); }

protected:
    // The number's checks, then that it is not the current one.
    std::optional<std::string_view> numberProblem(const std::string& mobile) const override;
    void requestCode(const std::string& mobile) override;
    void confirmCode() override { requestTheLinkLoginTypeWithMobileNum(); }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);

    std::weak_ptr<ui::Label> phoneLabel_;
};

}  // namespace ql
