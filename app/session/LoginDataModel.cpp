#include "app/session/LoginDataModel.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace ql {

namespace {

std::optional<std::string> decodeText(ns::KeyedUnarchiver& coder, std::string_view key) {
    static const ns::Class& textClass = *ns::Class::named("NSString");
    const ns::Value value = coder.decodeObjectOfClass(textClass, key);
    if (!value.isString()) return std::nullopt;
    return std::string(value.asString());
}

}  // namespace

std::shared_ptr<LoginDataModel> LoginDataModel::rememberLoginPhoneNum(std::optional<std::string> phoneNum,
                                                                      std::optional<std::string> password) {
    auto model = std::make_shared<LoginDataModel>();
    model->loginPhoneNum = std::move(phoneNum);
    model->loginPassword = std::move(password);
    return model;
}

void LoginDataModel::encodeWithCoder(ns::KeyedArchiver& coder) const {
    if (loginPhoneNum) coder.encodeObject(*loginPhoneNum, LoginPhoneNumKey);
    if (loginPassword) coder.encodeObject(*loginPassword, LoginPasswordKey);
}

bool LoginDataModel::initWithCoder(ns::KeyedUnarchiver& coder) {
    loginPhoneNum = decodeText(coder, LoginPhoneNumKey);
    loginPassword = decodeText(coder, LoginPasswordKey);
    return true;
}

}  // namespace ql
