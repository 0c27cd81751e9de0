#pragma once
// The session: the signed-in student's sign-in reply, from which every request model takes its uid, and
// the last home-page summary. One instance lives for the whole process; nothing of it reaches the disk.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Object.h"

namespace ql {

// Posted (no object) when a silent sign-in has put a student into the session, so that the tab screens
// reload what they show.
inline constexpr std::string_view LoginSuccessNotification = "loginSuccess";

// The reply models live with the service client, which itself reads the session; the session only holds them.
class LoginRsp;
class GetStuIndexContentRsp;

class Account : public ns::Object {
    QL_OBJECT(Account, ns::Object)
public:
    static Account& share();

    // Set by every successful sign-in; never cleared, so signing out keeps it until the next sign-in.
    std::shared_ptr<LoginRsp> info() const;
    void setInfo(std::shared_ptr<LoginRsp> info);

    std::shared_ptr<GetStuIndexContentRsp> stuIndex() const;
    void setStuIndex(std::shared_ptr<GetStuIndexContentRsp> stuIndex);

    // Held for whoever sets them; the app's own flows keep the signed-in student in info() instead.
    std::optional<std::string> token() const;
    void setToken(std::optional<std::string> token);
    std::optional<std::string> userPwd() const;
    void setUserPwd(std::optional<std::string> userPwd);
    std::optional<std::string> userName() const;
    void setUserName(std::optional<std::string> userName);
    bool islogin() const;
    void setIslogin(bool islogin);

private:
    // Request models are made wherever their caller runs, so reads may come from any thread.
    mutable std::mutex mutex_;
    std::shared_ptr<LoginRsp> info_;
    std::shared_ptr<GetStuIndexContentRsp> stuIndex_;
    std::optional<std::string> token_;
    std::optional<std::string> userPwd_;
    std::optional<std::string> userName_;
    bool islogin_ = false;
};

}  // namespace ql
