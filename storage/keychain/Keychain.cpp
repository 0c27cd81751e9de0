#include "storage/keychain/Keychain.h"

#include <atomic>

#include "storage/keychain/KeychainQuery.h"

namespace ql {

namespace {

constexpr int noAccessibility = -1;
// An atomic, so that a reader on another thread never sees a half-replaced value.
std::atomic<int> accessibility{noAccessibility};

KeychainQuery itemQuery(std::string_view service, std::string_view account) {
    KeychainQuery query;
    query.setService(std::string(service));
    query.setAccount(std::string(account));
    return query;
}

}  // namespace

std::optional<std::string> Keychain::passwordForService(std::string_view service, std::string_view account,
                                                        ns::Error* error) {
    KeychainQuery query = itemQuery(service, account);
    if (!query.fetch(error)) return std::nullopt;
    return query.password();
}

std::optional<ns::Data> Keychain::passwordDataForService(std::string_view service, std::string_view account,
                                                         ns::Error* error) {
    KeychainQuery query = itemQuery(service, account);
    if (!query.fetch(error)) return std::nullopt;
    return query.passwordData();
}

bool Keychain::setPassword(std::string_view password, std::string_view service, std::string_view account,
                           ns::Error* error) {
    KeychainQuery query = itemQuery(service, account);
    query.setPassword(password);
    return query.save(error);
}

bool Keychain::setPasswordData(const ns::Data& password, std::string_view service, std::string_view account,
                               ns::Error* error) {
    KeychainQuery query = itemQuery(service, account);
    query.setPasswordData(password);
    return query.save(error);
}

bool Keychain::deletePasswordForService(std::string_view service, std::string_view account, ns::Error* error) {
    return itemQuery(service, account).deleteItem(error);
}

std::optional<ns::Array> Keychain::accountsForService(std::optional<std::string_view> service, ns::Error* error) {
    KeychainQuery query;
    if (service) query.setService(std::string(*service));
    return query.fetchAll(error);
}

std::optional<ns::Array> Keychain::allAccounts(ns::Error* error) {
    return KeychainQuery().fetchAll(error);
}

std::optional<sec::Accessibility> Keychain::accessibilityType() {
    int value = accessibility.load(std::memory_order_acquire);
    if (value == noAccessibility) return std::nullopt;
    return static_cast<sec::Accessibility>(value);
}

void Keychain::setAccessibilityType(sec::Accessibility value) {
    accessibility.store(static_cast<int>(value), std::memory_order_release);
}

}  // namespace ql
