#pragma once
// The app's saved settings in the standard user defaults, behind one facade: whether the first-run guide
// was seen, whether to sign in automatically, and the saved credentials. Every write is flushed at once,
// so a setting survives the process being killed right after it changed. Also a few small value helpers.

#include <cstdint>
#include <memory>
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
    // A uniformly chosen integer in [from, to]; `from` itself when the range is empty (to < from).
    static std::int64_t getRandomNumber(std::int64_t from, std::int64_t to);

    // A fresh identifier in its standard text form on every call.
    std::string uuid() const;
};

}  // namespace ql
