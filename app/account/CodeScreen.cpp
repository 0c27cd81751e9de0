#include "app/account/CodeScreen.h"

#include "app/uikit/ImageContent.h"
#include "app/uikit/NoNetwork.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TextField.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/toast/Toast.h"

namespace ql {

CodeForm CodeScreen::buildCodeForm(ui::Nib::Loading& loading, double top, std::string_view confirmTitle) {
    CodeForm form = CodeForm::build(loading, top, confirmTitle);
    if (auto* owner = loading.ownerAs<CodeScreen>()) {
        owner->phoneTextField_ = form.phone;
        owner->verfyTextField_ = form.code;
        owner->verificationBtn_ = form.send;
        owner->confirmButton_ = form.confirm;
        owner->bgImageView_ = form.background;
        for (const auto& button : {form.send, form.confirm}) {
            button->addTarget(owner->weak_from_this(), &CodeScreen::btnClickAction, ui::ControlEventTouchUpInside);
        }
    }
    return form;
}

void CodeScreen::viewDidLoad() {
    InputVC::viewDidLoad();
    if (auto background = bgImageView()) background->setImage(imageWithDevice("forget_pwd"));
    if (auto button = confirmButton()) setConfirmBackground(*button);
}

void CodeScreen::viewWillDisappear(bool animated) {
    InputVC::viewWillDisappear(animated);
    countdown_.stop();
}

void CodeScreen::btnClickAction(ui::Button* sender) {
    if (!sender) return;
    if (sender->tag() == CodeForm::kSendCodeTag) {
        sendCaptchaAction();
    } else if (sender->tag() == CodeForm::kConfirmTag) {
        checkInputString();
    }
}

void CodeScreen::sendCaptchaAction() {
    const std::string mobile = phoneTextField()->text();
    if (auto problem = numberProblem(mobile)) {
        Toast::showWithText(std::string(*problem));
        return;
    }
    verificationBtn()->setEnabled(false);
    ProgressHUD::show();
    requestCode(mobile);
}

void CodeScreen::checkInputString() {
    if (auto problem = numberProblem(phoneTextField()->text())) {
        Toast::showWithText(std::string(*problem));
    } else if (verfyTextField()->text().empty()) {
        Toast::showWithText(std::string(EnterCodeMessage));
    } else {
        confirmCode();
    }
}

void CodeScreen::codeAnswered(bool sent, const std::string& refusal) {
    ProgressHUD::dismiss();
    auto button = verificationBtn();
    if (sent) {
        countdown_.start(button);
        return;
    }
    showRefusal(refusal);
    if (button) VerificationCountdown::allowRetry(*button);
}

void CodeScreen::codeNotSent() {
    showNoNetwork();
    if (auto button = verificationBtn()) VerificationCountdown::allowRetry(*button);
}

}  // namespace ql
