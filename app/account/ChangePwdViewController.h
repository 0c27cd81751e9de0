#pragma once
// Changing the password of the signed-in student: old password, new password twice. On success the saved
// password is wiped, automatic sign-in goes off and the app returns to the sign-in screen.

#include <memory>

#include "app/uikit/BasicVC.h"
#include "platform/ui/TextField.h"

namespace ql::ui {
class Button;
}

namespace ql {

inline constexpr std::string_view ConfirmOldPasswordMessage = "请确认旧密码";
inline constexpr std::string_view ChangePasswordLengthMessage = "密码大于等于6小于等于20";
inline constexpr std::string_view ChangedMessage = "修改成功";

class ChangePwdViewController : public InputVC, public ui::TextFieldDelegate {
    QL_OBJECT(ChangePwdViewController, InputVC)
public:
    ChangePwdViewController();

    void viewDidLoad() override;
    void btnClickAction(ui::Button* sender);
    void checkInputString();
    void requestTheChangePwdAction();

    bool textFieldShouldChangeCharactersInRangeReplacementString(ui::TextField& field, ns::Range range,
                                                                const std::string& replacement) override;

    std::shared_ptr<ui::Button> confirmBtn() const { return confirmBtn_.lock(); }
    std::shared_ptr<ui::TextField> oldTextField() const { return oldTextField_.lock(); }
    std::shared_ptr<ui::TextField> pwdTextField() const { return pwdTextField_.lock(); }
    std::shared_ptr<ui::TextField> againTextField() const { return againTextField_.lock(); }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);

    std::weak_ptr<ui::Button> confirmBtn_;
    std::weak_ptr<ui::TextField> oldTextField_;
    std::weak_ptr<ui::TextField> pwdTextField_;
    std::weak_ptr<ui::TextField> againTextField_;
};

}  // namespace ql
