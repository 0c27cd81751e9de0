#pragma once
// KeychainQuery: one request for a generic-password item named by service and account. It builds the
// attribute query, runs it against the keychain and turns a failing status into an error in the
// "com.Wendlow.keychain" domain. A plain value holder: nothing but the fetched password is kept. A keychain
// that cannot write (a read-only or full volume) fails with errSecReadOnly or errSecIO, the error then
// carrying the reason under NSLocalizedFailureReason.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/security/KeychainItems.h"

namespace ql {

inline constexpr std::string_view kKeychainErrorDomain = "com.Wendlow.keychain";
// Missing service, account or password: the keychain is not asked.
inline constexpr sec::Status KeychainErrorBadArguments = -1001;

enum class KeychainQuerySynchronizationMode : std::uint64_t {
    Any = 0,  // matches synchronized and local items
    No = 1,
    Yes = 2,
};

class KeychainQuery {
public:
    const std::optional<std::string>& account() const { return account_; }
    void setAccount(std::optional<std::string> account) { account_ = std::move(account); }
    const std::optional<std::string>& service() const { return service_; }
    void setService(std::optional<std::string> service) { service_ = std::move(service); }
    // Written only when the item is created.
    const std::optional<std::string>& label() const { return label_; }
    void setLabel(std::optional<std::string> label) { label_ = std::move(label); }
    const std::optional<ns::Data>& passwordData() const { return passwordData_; }
    void setPasswordData(std::optional<ns::Data> data) { passwordData_ = std::move(data); }
    const std::optional<std::string>& accessGroup() const { return accessGroup_; }
    void setAccessGroup(std::optional<std::string> group) { accessGroup_ = std::move(group); }
    KeychainQuerySynchronizationMode synchronizationMode() const { return synchronizationMode_; }
    void setSynchronizationMode(KeychainQuerySynchronizationMode mode) { synchronizationMode_ = mode; }

    // The password as text: its UTF-8 bytes. Reads none when there are no bytes, they are empty or they
    // are no UTF-8.
    std::optional<std::string> password() const;
    void setPassword(std::optional<std::string_view> password);
    // Any archivable value, kept as its keyed archive. Reading decodes property-list values only, so a
    // stored archive cannot make the reader build objects of arbitrary classes.
    ns::Value passwordObject() const;
    void setPasswordObject(const ns::Value& object);

    // Creates the item, or replaces the password bytes of the existing one.
    bool save(ns::Error* error);
    bool deleteItem(ns::Error* error);
    // Reads the item's password bytes into passwordData.
    bool fetch(ns::Error* error);
    // The attribute dictionaries of every matching item; none on failure.
    std::optional<ns::Array> fetchAll(ns::Error* error) const;

    // The base attribute dictionary, fresh each time.
    ns::Dictionary query() const;

    static bool isSynchronizationAvailable();
    // None for status 0.
    static std::optional<ns::Error> errorWithCode(sec::Status status);

private:
    std::optional<std::string> account_;
    std::optional<std::string> service_;
    std::optional<std::string> label_;
    std::optional<ns::Data> passwordData_;
    std::optional<std::string> accessGroup_;
    KeychainQuerySynchronizationMode synchronizationMode_ = KeychainQuerySynchronizationMode::Any;
};

}  // namespace ql
