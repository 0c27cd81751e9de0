#pragma once
// Resetting a forgotten password: a code is sent to the mobile number (the reply names the student),
// the code is checked, and the new password is set on the next screen, which returns to sign-in.

#include <memory>

#include "app/account/VerificationCountdown.h"
#include "app/uikit/BasicVC.h"

namespace ql::ui {
class Button;
class ImageView;
class TextField;
}  // namespace ql::ui

namespace ql {

inline constexpr std::string_view SendFailedMessage = "发送失败";

class ForgetPwdVC : public InputVC {
    QL_OBJECT(ForgetPwdVC, InputVC)
public:
    ForgetPwdVC();

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    void btnClickAction(ui::Button* sender);
    void sendCaptchaAction();
    void verUpdate() { countdown_.verUpdate(); }
    void checkInputString();
    void requestTheComfirmWithMobileNum();

    std::shared_ptr<ui::TextField> phoneTextField() const { return phoneTextField_.lock(); }
    std::shared_ptr<ui::TextField> verfyTextField() const { return verfyTextField_.lock(); }
    std::shared_ptr<ui::Button> verificationBtn() const { return verificationBtn_.lock(); }
    std::shared_ptr<ui::Button> nextBtn() const { return nextBtn_.lock(); }
    std::shared_ptr<ui::ImageView> bgImageView() const { return bgImageView_.lock(); }
    std::int64_t uid() const { return uid_; }
    const VerificationCountdown& countdown() const { return countdown_; }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);

    std::weak_ptr<ui::TextField> phoneTextField_;
    std::weak_ptr<ui::TextField> verfyTextField_;
    std::weak_ptr<ui::Button> verificationBtn_;
    std::weak_ptr<ui::Button> nextBtn_;
    std::weak_ptr<ui::ImageView> bgImageView_;
    VerificationCountdown countdown_;
    std::int64_t uid_ = 0;  // the student the code was sent for; 0 until a code went out
};

}  // namespace ql
