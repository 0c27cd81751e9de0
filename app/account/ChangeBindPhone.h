#pragma once
// Replacing the signed-in student's bound mobile number: the current number is shown, a code goes to the
// new one, and on success automatic sign-in goes off and the app returns to the sign-in screen.

#include <memory>

#include "app/account/VerificationCountdown.h"
#include "app/uikit/BasicVC.h"

namespace ql::ui {
class Button;
class Label;
class TextField;
}  // namespace ql::ui

namespace ql {

class LoginDataModel;

inline constexpr std::string_view SameMobileMessage = "您输入的手机号与原手机号相同";

class ChangeBindPhone : public InputVC {
    QL_OBJECT(ChangeBindPhone, InputVC)
public:
    ChangeBindPhone();

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    void btnClickAction(ui::Button* sender);
    void sendCaptchaAction();
    void verUpdate() { countdown_.verUpdate(); }
    void checkInputString();
    void requestTheLinkLoginTypeWithMobileNum();
    void autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record);

    std::shared_ptr<ui::Button> confirmBtn() const { return confirmBtn_.lock(); }
    std::shared_ptr<ui::Button> verificationBtn() const { return verificationBtn_.lock(); }
    std::shared_ptr<ui::TextField> phoneTextField() const { return phoneTextField_.lock(); }
    std::shared_ptr<ui::TextField> verfyTextField() const { return verfyTextField_.lock(); }
    std::shared_ptr<ui::Label> phoneLabel() const { return phoneLabel_.lock(); }
    const VerificationCountdown& countdown() const { return countdown_; }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);
    // The first failing check of the new number, the current number included.
    std::optional<std::string_view> newMobileProblem(const std::string& mobile) const;

    std::weak_ptr<ui::Button> confirmBtn_;
    std::weak_ptr<ui::Button> verificationBtn_;
    std::weak_ptr<ui::TextField> phoneTextField_;
    std::weak_ptr<ui::TextField> verfyTextField_;
    std::weak_ptr<ui::Label> phoneLabel_;
    VerificationCountdown countdown_;
};

}  // namespace ql
