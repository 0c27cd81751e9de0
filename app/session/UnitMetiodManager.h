#pragma once
// The app's saved settings in the standard user defaults, behind one facade: whether the first-run guide
// was seen, whether to sign in automatically, and the saved credentials. Every write is flushed at once,
// so a setting survives the process being killed right after it changed. Also a few small value helpers.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "app/session/LoginDataModel.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"

namespace ql {

inline constexpr std::string_view ShowGuideKey = "showGuide";
inline constexpr std::string_view AutoLoginKey = "setAutoLogin";
inline constexpr std::string_view UserLoginModelKey = "userLoginModel";

class UnitMetiodManager : public ns::Object {
    QL_OBJECT(UnitMetiodManager, ns::Object)
public:
    static UnitMetiodManager& share();

    // Absent flags read as NO, so a fresh installation shows the guide and does not sign in by itself.
    static void saveShowGuideKey(bool shown);
    static bool getShowGuideKey();
    static void setAutoLogin(bool autoLogin);
    static bool isAutoLogin();

    // A null record removes the saved one.
    static void saveTheUserPhoneNumAndPassword(const std::shared_ptr<LoginDataModel>& record);
    // Nothing when no record is saved or the saved data is not a credentials archive.
    static std::shared_ptr<LoginDataModel> getTheSavedUserPhoneNumAndPassword();
    static void removeTheUserPhoneNumAndPassword();

    // Whether the value is a dictionary holding something other than null (or the text "<null>") at the key.
    static bool exitTheValueWithTheDiction(const ns::Value& dictionary, std::string_view key);
    // The value itself, or a new empty array for nil and null.
    static ns::Value exchangeTheReturnValueToArray(const ns::Value& value);
    // A text as it is, a number as its decimal text; the empty text for everything else, including the
    // texts "<null>", "<NULL>", "(null)" and "(NULL)".
    static std::string exchangeTheReturnValueToString(const ns::Value& value);
    static bool compareReturnStringWith(std::string_view text) { return text.empty(); }
    // An integer in [from, to]: `from` plus a 32-bit random draw modulo the range's size; `from` itself
    // when the range is empty (to < from), where the modulo would divide by zero.
    static int getRandomNumber(int from, int to);
    // The same for a given draw.
    static int randomNumberInRange(int from, int to, std::uint32_t draw);

    // A fresh identifier in its standard text form on every call.
    std::string uuid() const;

    // Held for whoever sets it.
    std::optional<std::string> UUID() const;
    void setUUID(std::optional<std::string> UUID);

    // Asks for nothing and calls neither block: verification codes go through the service client.
    void getTheCaptchaWithPhoneNum(std::string_view phoneNum, int type, std::string_view requestDate,
                                   const std::function<void(const ns::Value& reply)>& finishBlock,
                                   const std::function<void(const std::string& message)>& errorBlock) const;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> UUID_;
};

}  // namespace ql
