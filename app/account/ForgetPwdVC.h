#pragma once
// Resetting a forgotten password: a code is sent to the mobile number (the reply names the student),
// the code is checked, and the new password is set on the next screen, which returns to sign-in.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/account/CodeScreen.h"

namespace ql {

inline constexpr std::string_view SendFailedMessage = "发送失败";

class ForgetPwdVC : public CodeScreen {
    QL_OBJECT(ForgetPwdVC, CodeScreen)
public:
    ForgetPwdVC();

    void viewDidLoad() override;

    void requestTheComfirmWithMobileNum();

    std::shared_ptr<ui::Button> nextBtn() const { return confirmButton(); }
    std::int64_t uid() const { return uid_; }

protected:
    void requestCode(const std::string& mobile) override;
    void confirmCode() override { requestTheComfirmWithMobileNum(); }

private:
    static std::vector<std::shared_ptr<ns::Object>> buildNib(ui::Nib::Loading& loading);

    std::int64_t uid_ = 0;  // the student the code was sent for; 0 until a code went out
};

}  // namespace ql
