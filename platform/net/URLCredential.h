#pragma once
// ns::URLCredential: an answer to an authentication challenge, either a user name and password or the
// acceptance of a server's trust. There is no credential storage here, so persistence is only recorded.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/security/Trust.h"

namespace ql::ns {

enum class URLCredentialPersistence {
    None = 0,
    ForSession = 1,
    Permanent = 2,
    Synchronizable = 3,
};

class URLCredential final : public Object {
    QL_OBJECT_NAMED(URLCredential, Object, "NSURLCredential")
public:
    URLCredential(std::optional<std::string> user, std::optional<std::string> password,
                  URLCredentialPersistence persistence, std::shared_ptr<sec::Trust> trust)
        : user_(std::move(user)), password_(std::move(password)), persistence_(persistence), trust_(std::move(trust)) {}

    static std::shared_ptr<URLCredential> credentialWithUser(std::string user, std::string password,
                                                             URLCredentialPersistence persistence) {
        return std::make_shared<URLCredential>(std::move(user), std::move(password), persistence, nullptr);
    }
    static std::shared_ptr<URLCredential> credentialForTrust(std::shared_ptr<sec::Trust> trust) {
        return std::make_shared<URLCredential>(std::nullopt, std::nullopt, URLCredentialPersistence::ForSession,
                                               std::move(trust));
    }

    const std::optional<std::string>& user() const { return user_; }
    const std::optional<std::string>& password() const { return password_; }
    bool hasPassword() const { return password_.has_value(); }
    URLCredentialPersistence persistence() const { return persistence_; }
    // The trust this credential accepts, for credentials made with credentialForTrust.
    const std::shared_ptr<sec::Trust>& serverTrust() const { return trust_; }

private:
    const std::optional<std::string> user_;
    const std::optional<std::string> password_;
    const URLCredentialPersistence persistence_;
    const std::shared_ptr<sec::Trust> trust_;
};

}  // namespace ql::ns
