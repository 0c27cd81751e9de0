#include "storage/keychain/KeychainQuery.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Class.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Text.h"
#include "storage/keychain/Keychain.h"

namespace ql {

namespace {

void report(sec::Status status, ns::Error* error) {
    if (!error) return;
    auto made = KeychainQuery::errorWithCode(status);
    if (!made) return;
    // Only these statuses come with a reason, and only from the keychain call just made.
    if (status == sec::StatusIO || status == sec::StatusReadOnly) {
        ns::Dictionary userInfo = made->userInfo();
        userInfo.set(std::string(ns::LocalizedFailureReasonErrorKey), ns::Value(sec::failureReason()));
        made = ns::Error(made->domain(), made->code(), std::move(userInfo));
    }
    *error = std::move(*made);
}

std::string_view keyForStatus(sec::Status status) {
    switch (status) {
        case sec::StatusUnimplemented: return "errSecUnimplemented";
        case sec::StatusIO: return "errSecIO";
        case sec::StatusParam: return "errSecParam";
        case sec::StatusAllocate: return "errSecAllocate";
        case KeychainErrorBadArguments: return "KeychainErrorBadArguments";
        case sec::StatusNotAvailable: return "errSecNotAvailable";
        case sec::StatusReadOnly: return "errSecReadOnly";
        case sec::StatusAuthFailed: return "errSecAuthFailed";
        case sec::StatusDuplicateItem: return "errSecDuplicateItem";
        case sec::StatusItemNotFound: return "errSecItemNotFound";
        case sec::StatusInteractionNotAllowed: return "errSecInteractionNotAllowed";
        case sec::StatusDecode: return "errSecDecode";
        default: return "errSecDefault";
    }
}

}  // namespace

std::optional<std::string> KeychainQuery::password() const {
    if (!passwordData_ || passwordData_->length() == 0) return std::nullopt;
    std::string text(reinterpret_cast<const char*>(passwordData_->bytes()), passwordData_->length());
    if (!ns::isValidUTF8(text)) return std::nullopt;
    return text;
}

void KeychainQuery::setPassword(std::optional<std::string_view> password) {
    if (password) passwordData_ = ns::Data(*password);
    else passwordData_.reset();
}

ns::Value KeychainQuery::passwordObject() const {
    if (!passwordData_ || passwordData_->length() == 0) return {};
    std::vector<const ns::Class*> allowed;
    for (const char* name : {"NSString", "NSNumber", "NSData", "NSDate", "NSArray", "NSDictionary", "NSNull"}) {
        if (const ns::Class* cls = ns::Class::named(name)) allowed.push_back(cls);
    }
    return ns::KeyedUnarchiver::unarchivedObjectOfClasses(allowed, *passwordData_, nullptr);
}

void KeychainQuery::setPasswordObject(const ns::Value& object) {
    if (object.isNil()) {
        passwordData_.reset();
        return;
    }
    passwordData_ = ns::KeyedArchiver::archivedDataWithRootObject(object, nullptr);
}

ns::Dictionary KeychainQuery::query() const {
    ns::Dictionary query;
    query.set(std::string(sec::ItemClass), ns::Value(sec::ClassGenericPassword));
    if (service_) query.set(std::string(sec::AttrService), ns::Value(*service_));
    if (account_) query.set(std::string(sec::AttrAccount), ns::Value(*account_));
    if (accessGroup_) query.set(std::string(sec::AttrAccessGroup), ns::Value(*accessGroup_));
    if (isSynchronizationAvailable()) {
        switch (synchronizationMode_) {
            case KeychainQuerySynchronizationMode::Any:
                query.set(std::string(sec::AttrSynchronizable), ns::Value(sec::AttrSynchronizableAny));
                break;
            case KeychainQuerySynchronizationMode::No:
                query.set(std::string(sec::AttrSynchronizable), ns::Value(false));
                break;
            case KeychainQuerySynchronizationMode::Yes:
                query.set(std::string(sec::AttrSynchronizable), ns::Value(true));
                break;
        }
    }
    return query;
}

bool KeychainQuery::save(ns::Error* error) {
    if (!service_ || !account_ || !passwordData_) {
        report(KeychainErrorBadArguments, error);
        return false;
    }
    sec::Status status = sec::itemCopyMatching(query(), nullptr);
    if (status == sec::StatusItemNotFound) {
        ns::Dictionary attributes = query();
        if (label_) attributes.set(std::string(sec::AttrLabel), ns::Value(*label_));
        attributes.set(std::string(sec::ValueData), ns::Value(*passwordData_));
        if (auto accessibility = Keychain::accessibilityType()) {
            attributes.set(std::string(sec::AttrAccessible), ns::Value(sec::accessibilityValue(*accessibility)));
        }
        status = sec::itemAdd(attributes);
    } else if (status == sec::StatusSuccess) {
        ns::Dictionary changes;
        changes.set(std::string(sec::ValueData), ns::Value(*passwordData_));
        status = sec::itemUpdate(query(), changes);
    }
    report(status, error);
    return status == sec::StatusSuccess;
}

bool KeychainQuery::deleteItem(ns::Error* error) {
    if (!service_ || !account_) {
        report(KeychainErrorBadArguments, error);
        return false;
    }
    sec::Status status = sec::itemDelete(query());
    report(status, error);
    return status == sec::StatusSuccess;
}

bool KeychainQuery::fetch(ns::Error* error) {
    if (!service_ || !account_) {
        report(KeychainErrorBadArguments, error);
        return false;
    }
    ns::Dictionary request = query();
    request.set(std::string(sec::ReturnData), ns::Value(true));
    request.set(std::string(sec::MatchLimit), ns::Value(sec::MatchLimitOne));
    ns::Value result;
    sec::Status status = sec::itemCopyMatching(request, &result);
    if (status != sec::StatusSuccess) {
        report(status, error);
        return false;
    }
    passwordData_ = result.asData() ? *result.asData() : ns::Data();
    return true;
}

std::optional<ns::Array> KeychainQuery::fetchAll(ns::Error* error) const {
    ns::Dictionary request = query();
    request.set(std::string(sec::ReturnAttributes), ns::Value(true));
    request.set(std::string(sec::MatchLimit), ns::Value(sec::MatchLimitAll));
    if (auto accessibility = Keychain::accessibilityType()) {
        request.set(std::string(sec::AttrAccessible), ns::Value(sec::accessibilityValue(*accessibility)));
    }
    ns::Value result;
    sec::Status status = sec::itemCopyMatching(request, &result);
    if (status != sec::StatusSuccess) {
        report(status, error);
        return std::nullopt;
    }
    return result.asArray() ? *result.asArray() : ns::Array();
}

bool KeychainQuery::isSynchronizationAvailable() {
    // The platform reports itself as the newest system, whose Foundation is well past the first one with
    // keychain synchronization.
    return true;
}

std::optional<ns::Error> KeychainQuery::errorWithCode(sec::Status status) {
    if (status == sec::StatusSuccess) return std::nullopt;
    std::string text = ns::Bundle::main().localizedString(keyForStatus(status), "", "Keychain");
    ns::Dictionary userInfo;
    userInfo.set(std::string(ns::LocalizedDescriptionKey), ns::Value(std::move(text)));
    return ns::Error(std::string(kKeychainErrorDomain), status, std::move(userInfo));
}

}  // namespace ql
