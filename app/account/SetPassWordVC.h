#pragma once
// The second step of resetting a forgotten password: the new password twice; on success back to the
// sign-in screen.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/uikit/BasicVC.h"

namespace ql::ui {
class Button;
class TextField;
}  // namespace ql::ui

namespace ql {

inline constexpr std::string_view ResetPasswordLengthMessage = "密码只能6位~20位";

class SetPassWordVC : public BasicVC {
    QL_OBJECT(SetPassWordVC, BasicVC)
public:
    SetPassWordVC();

    void viewDidLoad() override;
    void btnClickAction(ui::Button* sender);
    void checkInputString();
    void requestTheChangePwdAction();

    std::shared_ptr<ui::TextField> pwdTextField() const { return pwdTextField_.lock(); }
    std::shared_ptr<ui::TextField> againTextField() const { return againTextField_.lock(); }
    std::int64_t uid() const { return uid_; }
    void setUid(std::int64_t uid) { uid_ = uid; }
    const std::optional<std::string>& phoneStr() const { return phoneStr_; }
    void setPhoneStr(std::optional<std::string> phone) { phoneStr_ = std::move(phone); }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);

    std::weak_ptr<ui::TextField> pwdTextField_;
    std::weak_ptr<ui::TextField> againTextField_;
    std::optional<std::string> phoneStr_;
    std::int64_t uid_ = 0;
};

}  // namespace ql
