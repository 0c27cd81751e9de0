#pragma once
// What the screens that confirm a mobile number with a verification code share (binding one, a forgotten
// password, changing the bound one): the code form on the "forget_pwd" picture; the number checked before a
// code is asked for; the send button counting down while the code is on its way, and working again after
// a refusal, a failed call or when the screen goes; and the number and the code checked before the screen
// sends them for its own purpose.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/account/AccountForms.h"
#include "app/account/VerificationCountdown.h"
#include "app/uikit/BasicVC.h"

namespace ql::ui {
class Button;
class ImageView;
class TextField;
}  // namespace ql::ui

namespace ql {

class CodeScreen : public InputVC {
    QL_OBJECT(CodeScreen, InputVC)
public:
    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    void btnClickAction(ui::Button* sender);
    void sendCaptchaAction();
    void verUpdate() { countdown_.verUpdate(); }
    void checkInputString();

    std::shared_ptr<ui::TextField> phoneTextField() const { return phoneTextField_.lock(); }
    std::shared_ptr<ui::TextField> verfyTextField() const { return verfyTextField_.lock(); }
    std::shared_ptr<ui::Button> verificationBtn() const { return verificationBtn_.lock(); }
    std::shared_ptr<ui::ImageView> bgImageView() const { return bgImageView_.lock(); }
    const VerificationCountdown& countdown() const { return countdown_; }

protected:
    explicit CodeScreen(std::string nibName) : InputVC(std::move(nibName)) {}

    // The code form as the owner's view, its outlets and buttons connected to the owner.
    static CodeForm buildCodeForm(ui::Nib::Loading& loading, double top, std::string_view confirmTitle);
    std::shared_ptr<ui::Button> confirmButton() const { return confirmButton_.lock(); }

    // The first failing check of the number typed.
    virtual std::optional<std::string_view> numberProblem(const std::string& mobile) const {
        return mobileProblem(mobile);
    }
    // Asks the service for a code to the number (the overlay shows); the answer goes to codeAnswered, a
    // failed call to codeNotSent.
    virtual void requestCode(const std::string& mobile) = 0;
    // Sends the number and the code for the screen's purpose; both passed their checks.
    virtual void confirmCode() = 0;

    // The overlay goes; a sent code starts the countdown, a refusal shows its message and the button works
    // again.
    void codeAnswered(bool sent, const std::string& refusal);
    void codeNotSent();

private:
    std::weak_ptr<ui::TextField> phoneTextField_;
    std::weak_ptr<ui::TextField> verfyTextField_;
    std::weak_ptr<ui::Button> verificationBtn_;
    std::weak_ptr<ui::Button> confirmButton_;
    std::weak_ptr<ui::ImageView> bgImageView_;
    VerificationCountdown countdown_;
};

}  // namespace ql
