#pragma once
// The sign-in screen: the mobile number and the password (the saved ones filled in), checked before
// anything is sent; a successful sign-in is remembered and leads into the tab shell, or to binding a
// mobile number for a student who has none yet. It also leads to the forgotten-password screen.

#include <memory>

#include "app/uikit/BasicVC.h"
#include "platform/ui/TextField.h"

namespace ql::ui {
class Button;
class ImageView;
}  // namespace ql::ui

namespace ql {

inline constexpr std::string_view EnterUserNameMessage = "请输入用户名";
inline constexpr std::string_view EnterPasswordMessage = "请输入密码";
inline constexpr std::string_view PasswordLengthMessage = "密码只能6位-20位";
// The line under the picture; tapping it (or anywhere outside the fields) closes the keyboard.
inline constexpr std::string_view LoginMotto = "快乐阅读 天天进步";

class LoginViewController : public InputVC, public ui::TextFieldDelegate {
    QL_OBJECT(LoginViewController, InputVC)
public:
    enum Tag : std::int64_t { kSignInTag = 0, kForgotTag = 1 };

    LoginViewController();
    // The sign-in screen as the root of a navigation controller whose bar is hidden.
    static std::shared_ptr<ui::NavigationController> navigationControllerContainSelf();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void btnClickAction(ui::Button* sender);
    void checkInputString();
    void loadLoginRequest();
    void pushMainViewControl();

    bool textFieldShouldChangeCharactersInRangeReplacementString(ui::TextField& field, ns::Range range,
                                                                const std::string& replacement) override;

    std::shared_ptr<ui::TextField> userName() const { return userName_.lock(); }
    std::shared_ptr<ui::TextField> userPwd() const { return userPwd_.lock(); }
    std::shared_ptr<ui::Button> loginBtn() const { return loginBtn_.lock(); }
    std::shared_ptr<ui::ImageView> bgImageView() const { return bgImageView_.lock(); }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);

    std::weak_ptr<ui::TextField> userName_;
    std::weak_ptr<ui::TextField> userPwd_;
    std::weak_ptr<ui::Button> loginBtn_;
    std::weak_ptr<ui::ImageView> bgImageView_;
};

}  // namespace ql
