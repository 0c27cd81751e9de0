#pragma once
// The forms the account screens share, on a full-screen picture under the title bar: the
// verification-code form (a mobile-number field, a code field with the send-code button beside it, the
// confirming button below) and the password form (a column of password fields and a button); and the
// checks those screens run before anything is sent.

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/ui/Nib.h"

namespace ql::ui {
class Button;
class ImageView;
class TextField;
class View;
}  // namespace ql::ui

namespace ql {

inline constexpr std::string_view EnterMobileMessage = "请输入手机号";
inline constexpr std::string_view WrongMobileMessage = "请输入正确的手机号";
inline constexpr std::string_view EnterCodeMessage = "请输入验证码";
inline constexpr std::string_view SendCodeTitle = "获取验证码";

struct CodeForm {
    enum Tag : std::int64_t { kSendCodeTag = 0, kConfirmTag = 1 };

    std::shared_ptr<ui::View> view;
    std::shared_ptr<ui::ImageView> background;
    std::shared_ptr<ui::TextField> phone;
    std::shared_ptr<ui::TextField> code;
    std::shared_ptr<ui::Button> send;
    std::shared_ptr<ui::Button> confirm;

    // The fields start `top` points down the screen (below the title bar and anything above them).
    static CodeForm build(ui::Nib::Loading& loading, double top, std::string_view confirmTitle);
};

struct PasswordForm {
    std::shared_ptr<ui::View> view;
    std::vector<std::shared_ptr<ui::TextField>> fields;  // one per placeholder, secure, top to bottom
    std::shared_ptr<ui::Button> confirm;

    static PasswordForm build(ui::Nib::Loading& loading, double top, const std::vector<std::string_view>& placeholders,
                              std::string_view confirmTitle);
};

// The first failing check's message: an empty number, then one that is not a mobile number.
std::optional<std::string_view> mobileProblem(std::string_view mobile);

// Passwords have 6 to 20 characters (UTF-16 units, as the service counts them).
inline constexpr std::uint64_t kMinPasswordLength = 6;
inline constexpr std::uint64_t kMaxPasswordLength = 20;
bool hasPasswordLength(std::string_view password);

inline constexpr std::string_view EnterNewPasswordMessage = "请输入新密码";
inline constexpr std::string_view ConfirmNewPasswordMessage = "请确认新密码";
inline constexpr std::string_view PasswordsDifferMessage = "两次密码不一致";
// The first failing check of a new password typed twice: none typed, a length out of bounds (each
// password screen words that its own way), no repetition, a repetition that differs.
std::optional<std::string_view> newPasswordProblem(std::string_view password, std::string_view again,
                                                   std::string_view lengthMessage);
// Whether the field's text after replacing `range` stays within kMaxPasswordLength, so deleting is
// always possible.
bool editStaysWithinPasswordLength(const ui::TextField& field, ns::Range range, std::string_view replacement);

// The confirming button's picture, stretched around its middle column.
void setConfirmBackground(ui::Button& button);

}  // namespace ql
