#pragma once
// Small utilities of the analytics client: digests, dictionary readers, query strings, URL escaping, base64,
// a switchable console log, view-tree dumps, bundle resources, URL actions, JSON shortcuts and the random
// draw every part of the client uses.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Value.h"

namespace ql {

namespace ns {
class Error;
}

namespace ui {
class Image;
class View;
class ViewController;
}

class StatUtils {
public:
    static StatUtils& sharedInstance();

    static std::string utilsVersion() { return "1.2.4"; }
    // 32 upper-case hex digits of the MD5 of the UTF-8 bytes.
    static std::string md5Value(std::string_view text);
    // The value as text ("%@" for non-texts); "" for a non-dictionary, an empty key, an absent key or null.
    static std::string getStringFromDictionary(const ns::Value& dictionary, std::string_view key);
    // A number's or a pure integer text's value; INT64_MAX otherwise.
    static std::int64_t getIntergerFromDictionary(const ns::Value& dictionary, std::string_view key);
    static ns::Dictionary getDictionaryFromDictionary(const ns::Value& dictionary, std::string_view key);
    static ns::Dictionary dictionaryWithQueryString(std::string_view query);
    static std::string queryStringWithDictionary(const ns::Dictionary& dictionary);
    // The longest prefix of whole characters whose UTF-8 form fits `bytesLength` (0: no limit); nothing for "".
    static std::optional<std::string> subString(std::string_view text, std::size_t bytesLength);
    static bool isPureInt(std::string_view text);
    static bool isPureFloat(std::string_view text);
    static std::string urlEncode(std::string_view text);
    static std::string urlDecode(std::string_view text);
    static std::string base64Encode(std::string_view text);
    static std::string base64EncodeData(const ns::Data& data);

    static void setOpenLog(bool open);
    static bool openLog();
    static void setPrefix(std::string prefix);
    // While the log is open: "[HH:mm:ss.SSS(thread)] - " and the message, exactly as given, with the prefix
    // before it when one is set. A missing message prints "nil".
    static void outLog(const std::optional<std::string>& message);

    // from + (uniform 32-bit draw mod (to - from + 1)), in unsigned 32-bit arithmetic.
    static std::uint32_t getRand(std::uint32_t from, std::uint32_t to);
    // The uniform 32-bit source of every draw of the client.
    static std::uint32_t random32();
    // Tests: replaces the source; an empty function goes back to the system's.
    static void setRandomSourceForTesting(std::function<std::uint32_t()> source);

    static void printViewHierarchy(const ui::View& view, std::size_t depth);
    static void printViews(const std::vector<std::shared_ptr<ui::View>>& views, std::size_t depth);
    // The bottom image with the top one drawn over it from the origin, at the main screen's scale.
    static std::shared_ptr<ui::Image> addImage(const ui::Image& top, const ui::Image& bottom);
    // The path of the resource inside "<bundleName>.bundle" in the main bundle's resources.
    static std::optional<std::string> getBundleRes(std::string_view resourceName, std::string_view bundleName);
    static bool canOpenUrl(std::string_view url);
    static bool openUrl(std::string_view url);
    static bool makingACall(std::string_view number);
    // Would show the store's page of the app over the presenting controller and then call the completion
    // with whether the page loaded. This platform has no store, so nothing is shown, the completion is not
    // called, and the answer is false.
    static bool presentStoreProductForApp(std::string_view appId, ui::ViewController* presenter,
                                          const std::function<void(bool loaded, const ns::Error* error)>& completion);

    // JSON text of any value and value of a JSON text; nothing (and a log line) on failure.
    static std::optional<std::string> JSONFragment(const ns::Value& value);
    static ns::Value JSONValue(std::string_view text);

private:
    mutable std::mutex mutex_;
    bool openLog_ = false;
    std::string prefix_;
};

}  // namespace ql
