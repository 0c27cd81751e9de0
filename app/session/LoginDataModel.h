#pragma once
// The saved credentials: the mobile number and the password as typed at sign-in, kept as a keyed archive
// in the user defaults so that the next launch can sign in by itself.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"

namespace ql {

inline constexpr std::string_view LoginPhoneNumKey = "loginPhoneNum";
inline constexpr std::string_view LoginPasswordKey = "loginPassword";

class LoginDataModel : public ns::Object, public ns::Coding {
    QL_OBJECT(LoginDataModel, ns::Object)
    QL_PROPERTY(std::optional<std::string>, loginPhoneNum)
    QL_PROPERTY(std::optional<std::string>, loginPassword)
public:
    static std::shared_ptr<LoginDataModel> rememberLoginPhoneNum(std::optional<std::string> phoneNum,
                                                                 std::optional<std::string> password);

    // A key whose text is absent is not written, and reads back as absent.
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
};

}  // namespace ql
