#pragma once
// Binding a mobile number for a student who signed in without one: the number, a verification code sent
// to it, and on success the tab shell with a fresh silent sign-in.

#include <memory>

#include "app/account/VerificationCountdown.h"
#include "app/uikit/BasicVC.h"

namespace ql::ui {
class Button;
class ImageView;
class TextField;
}  // namespace ql::ui

namespace ql {

class LoginDataModel;

inline constexpr std::string_view UnknownStudentMessage = "找不到该用户";

class BindViewController : public InputVC {
    QL_OBJECT(BindViewController, InputVC)
public:
    BindViewController();

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    void btnClickAction(ui::Button* sender);
    void sendCaptchaAction();
    void verUpdate() { countdown_.verUpdate(); }
    void checkInputString();
    void requestTheLinkLoginTypeWithMobileNum();
    void autoLoginActionWithLoginData(const std::shared_ptr<LoginDataModel>& record);

    std::shared_ptr<ui::TextField> phoneTextField() const { return phoneTextField_.lock(); }
    std::shared_ptr<ui::TextField> verfyTextField() const { return verfyTextField_.lock(); }
    std::shared_ptr<ui::Button> verificationBtn() const { return verificationBtn_.lock(); }
    std::shared_ptr<ui::Button> bindBtn() const { return bindBtn_.lock(); }
    std::shared_ptr<ui::ImageView> bgImageView() const { return bgImageView_.lock(); }
    const VerificationCountdown& countdown() const { return countdown_; }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);
    std::int64_t sessionUid() const;

    std::weak_ptr<ui::TextField> phoneTextField_;
    std::weak_ptr<ui::TextField> verfyTextField_;
    std::weak_ptr<ui::Button> verificationBtn_;
    std::weak_ptr<ui::Button> bindBtn_;
    std::weak_ptr<ui::ImageView> bgImageView_;
    VerificationCountdown countdown_;
};

}  // namespace ql
