#include "app/account/AccountForms.h"

#include <algorithm>
#include <cmath>

#include "app/uikit/ColorHex.h"
#include "app/uikit/ImageContent.h"
#include "app/uikit/NibParts.h"
#include "app/uikit/StringCategory.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Button.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"

namespace ql {

CodeForm CodeForm::build(ui::Nib::Loading& loading, double top, std::string_view confirmTitle) {
    CodeForm form;
    form.view = nib::screenView(loading);
    form.background = nib::backgroundPicture(loading, *form.view);
    const nib::Column column = nib::Column::forScreen();
    constexpr double sendWidth = 112;
    form.phone = nib::field(loading, {column.x, top, column.width, 44}, "手机号码");
    form.phone->setKeyboardType(ui::KeyboardType::NumberPad);
    form.code = nib::field(loading, {column.x, top + 58, column.width - sendWidth - 10, 44}, "验证码");
    form.code->setKeyboardType(ui::KeyboardType::NumberPad);
    form.send = nib::button(loading, {column.x + column.width - sendWidth, top + 58, sendWidth, 44}, SendCodeTitle,
                            kSendCodeTag);
    form.send->titleLabel()->setFont(ui::Font::systemFontOfSize(15));
    form.send->setBackgroundColor(colorWithHex(0x7CB342));
    form.send->setBackgroundImage(nullptr, ui::ControlStateNormal);
    form.send->layer()->setCornerRadius(22);
    form.confirm = nib::button(loading, {column.x, top + 140, column.width, 46}, confirmTitle, kConfirmTag);
    for (const auto& part : std::initializer_list<std::shared_ptr<ui::View>>{form.phone, form.code, form.send, form.confirm}) {
        form.view->addSubview(part);
    }
    return form;
}

PasswordForm PasswordForm::build(ui::Nib::Loading& loading, double top,
                                 const std::vector<std::string_view>& placeholders, std::string_view confirmTitle) {
    PasswordForm form;
    form.view = nib::screenView(loading);
    nib::backgroundPicture(loading, *form.view)->setImage(imageWithDevice("forget_pwd"));
    const nib::Column column = nib::Column::forScreen();
    double y = top;
    for (std::string_view placeholder : placeholders) {
        auto field = nib::field(loading, {column.x, y, column.width, 44}, placeholder, true);
        form.view->addSubview(field);
        form.fields.push_back(field);
        y += 58;
    }
    form.confirm = nib::button(loading, {column.x, y + 24, column.width, 46}, confirmTitle, 0);
    form.view->addSubview(form.confirm);
    return form;
}

std::optional<std::string_view> mobileProblem(std::string_view mobile) {
    if (mobile.empty()) return EnterMobileMessage;
    if (!isMobileNumber(mobile)) return WrongMobileMessage;
    return std::nullopt;
}

bool hasPasswordLength(std::string_view password) {
    const std::uint64_t length = ns::utf16Length(password);
    return length >= kMinPasswordLength && length <= kMaxPasswordLength;
}

bool editStaysWithinPasswordLength(const ui::TextField& field, ns::Range range, std::string_view replacement) {
    const std::uint64_t current = ns::utf16Length(field.text());
    const std::uint64_t removed = std::min<std::uint64_t>(range.length, current);
    return current - removed + ns::utf16Length(replacement) <= kMaxPasswordLength;
}

std::optional<std::string_view> newPasswordProblem(std::string_view password, std::string_view again,
                                                   std::string_view lengthMessage) {
    if (password.empty()) return EnterNewPasswordMessage;
    if (!hasPasswordLength(password)) return lengthMessage;
    if (again.empty()) return ConfirmNewPasswordMessage;
    if (password != again) return PasswordsDifferMessage;
    return std::nullopt;
}

void setConfirmBackground(ui::Button& button) {
    // One point in the middle of the picture stretches; caps measured from the button's place on the
    // screen would reach past the picture on every screen but one and split it off-centre.
    constexpr std::string_view name = "login_login_bg.png";
    const auto picture = ui::Image::imageNamed(name);
    const double width = picture ? picture->size().width : 0;
    const double left = std::floor(std::max(0.0, width - 1) / 2);
    button.setBackgroundImage(resizableImageName(name, {0, left, 0, std::max(0.0, width - left - 1)}),
                              ui::ControlStateNormal);
}

}  // namespace ql
