#include "app/session/UnitMetiodManager.h"

#include <array>
#include <mutex>
#include <random>

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/UUID.h"
#include "platform/foundation/UserDefaults.h"

namespace ql {

namespace {

// A failed write stays pending in the store and goes out with the next flush; callers cannot act on it.
void flush() { ns::UserDefaults::standard().synchronize(); }

}  // namespace

UnitMetiodManager& UnitMetiodManager::share() {
    static std::shared_ptr<UnitMetiodManager>* const instance =
        new std::shared_ptr<UnitMetiodManager>(std::make_shared<UnitMetiodManager>());
    return **instance;
}

void UnitMetiodManager::saveShowGuideKey(bool shown) {
    ns::UserDefaults::standard().setBool(shown, ShowGuideKey);
    flush();
}

bool UnitMetiodManager::getShowGuideKey() { return ns::UserDefaults::standard().boolForKey(ShowGuideKey); }

void UnitMetiodManager::setAutoLogin(bool autoLogin) {
    ns::UserDefaults::standard().setBool(autoLogin, AutoLoginKey);
    // Flushed like the other settings: a sign-out that did not reach the disk would sign in again next time.
    flush();
}

bool UnitMetiodManager::isAutoLogin() { return ns::UserDefaults::standard().boolForKey(AutoLoginKey); }

void UnitMetiodManager::saveTheUserPhoneNumAndPassword(const std::shared_ptr<LoginDataModel>& record) {
    if (!record) {
        removeTheUserPhoneNumAndPassword();
        return;
    }
    const auto archive = ns::KeyedArchiver::archivedDataWithRootObject(ns::Value(record), nullptr);
    if (!archive) return;  // a record of texts always archives
    ns::UserDefaults::standard().setObject(ns::Value(*archive), UserLoginModelKey);
    flush();
}

std::shared_ptr<LoginDataModel> UnitMetiodManager::getTheSavedUserPhoneNumAndPassword() {
    const auto archive = ns::UserDefaults::standard().dataForKey(UserLoginModelKey);
    if (!archive) return nullptr;
    return ns::KeyedUnarchiver::unarchivedObjectOfClass(LoginDataModel::classObject(), *archive, nullptr)
        .asObject<LoginDataModel>();
}

void UnitMetiodManager::removeTheUserPhoneNumAndPassword() {
    ns::UserDefaults::standard().removeObjectForKey(UserLoginModelKey);
    flush();
}

bool UnitMetiodManager::exitTheValueWithTheDiction(const ns::Value& dictionary, std::string_view key) {
    if (!dictionary.isDictionary()) return false;
    const ns::Value& value = dictionary[key];
    if (value.isNil() || value.isNull()) return false;
    return !(value.isString() && value.asString() == "<null>");
}

ns::Value UnitMetiodManager::exchangeTheReturnValueToArray(const ns::Value& value) {
    if (value.isNil() || value.isNull()) return ns::Value(ns::Array{});
    return value;
}

std::string UnitMetiodManager::exchangeTheReturnValueToString(const ns::Value& value) {
    static constexpr std::array<std::string_view, 4> nullTexts = {"<null>", "<NULL>", "(null)", "(NULL)"};
    if (value.isString()) {
        for (std::string_view nullText : nullTexts) {
            if (value.asString() == nullText) return {};
        }
        return std::string(value.asString());
    }
    if (value.isNumber()) return value.stringValue();
    return {};
}

int UnitMetiodManager::getRandomNumber(int from, int to) {
    if (to < from) return from;
    static std::mutex mutex;
    static std::mt19937 engine{std::random_device{}()};
    std::uint32_t draw = 0;
    {
        std::lock_guard lock(mutex);
        draw = static_cast<std::uint32_t>(engine());
    }
    return randomNumberInRange(from, to, draw);
}

int UnitMetiodManager::randomNumberInRange(int from, int to, std::uint32_t draw) {
    if (to < from) return from;
    // Sizes up to 2^32 need 64 bits.
    const std::int64_t size = std::int64_t{to} - from + 1;
    return static_cast<int>(from + static_cast<std::int64_t>(draw % static_cast<std::uint64_t>(size)));
}

std::string UnitMetiodManager::uuid() const { return ns::UUID().UUIDString(); }

std::optional<std::string> UnitMetiodManager::UUID() const { return ns::lockedCopy(mutex_, UUID_); }

void UnitMetiodManager::setUUID(std::optional<std::string> UUID) { ns::lockedStore(mutex_, UUID_, std::move(UUID)); }

void UnitMetiodManager::getTheCaptchaWithPhoneNum(std::string_view, int, std::string_view,
                                                  const std::function<void(const ns::Value&)>&,
                                                  const std::function<void(const std::string&)>&) const {}

}  // namespace ql
