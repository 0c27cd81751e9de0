#include "analytics/client/StatUtils.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <limits>
#include <random>

#include "analytics/StatLog.h"
#include "analytics/StatUtil.h"
#include "analytics/client/StatProtocolData.h"
#include "analytics/json/StatJsonParser.h"
#include "analytics/json/StatJsonWriter.h"
#include "platform/foundation/Base64.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/ui/Application.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"

namespace ql {

namespace {

std::mutex randomMutex;
std::function<std::uint32_t()>& randomOverride() {
    static auto& source = *new std::function<std::uint32_t()>;
    return source;
}

const ns::Value* entry(const ns::Value& dictionary, std::string_view key) {
    const ns::Dictionary* members = dictionary.asDictionary();
    if (members == nullptr || key.empty()) return nullptr;
    const ns::Value* value = members->find(key);
    if (value == nullptr || value->isNull() || value->isNil()) return nullptr;
    return value;
}

std::optional<std::int64_t> wholeInteger(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::string_view withoutLeadingSpace(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n')) text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    return text;
}

void logFailure(std::string_view call, const StatJsonBase& codec) {
    std::string trace;
    for (const auto& error : codec.errorTrace()) trace += error.localizedDescription() + "; ";
    statLog(std::string(call) + " failed. Error trace is: " + trace);
}

void printIndented(const ui::View& view, std::size_t depth) {
    std::string indent;
    while (indent.size() < depth) indent += "|-";
    indent.resize(depth);
    ns::Log::write(indent + view.description());
}

}  // namespace

StatUtils& StatUtils::sharedInstance() {
    static StatUtils* utils = new StatUtils;
    return *utils;
}

std::string StatUtils::md5Value(std::string_view text) { return StatProtocolData::md5Value(text); }

std::string StatUtils::getStringFromDictionary(const ns::Value& dictionary, std::string_view key) {
    const ns::Value* value = entry(dictionary, key);
    if (value == nullptr) return {};
    return value->isString() ? std::string(value->asString()) : value->description();
}

std::int64_t StatUtils::getIntergerFromDictionary(const ns::Value& dictionary, std::string_view key) {
    constexpr auto None = std::numeric_limits<std::int64_t>::max();
    const ns::Value* value = entry(dictionary, key);
    if (value == nullptr) return None;
    if (value->isNumber()) return value->int64Value();
    if (value->isString()) return wholeInteger(withoutLeadingSpace(value->asString())).value_or(None);
    return None;
}

ns::Dictionary StatUtils::getDictionaryFromDictionary(const ns::Value& dictionary, std::string_view key) {
    const ns::Value* value = entry(dictionary, key);
    if (value == nullptr || !value->isDictionary()) return {};
    return *value->asDictionary();
}

ns::Dictionary StatUtils::dictionaryWithQueryString(std::string_view query) {
    ns::Dictionary out;
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos) end = query.size();
        const std::string_view part = query.substr(start, end - start);
        const std::size_t equals = part.find('=');
        if (equals != std::string_view::npos && part.find('=', equals + 1) == std::string_view::npos) {
            const auto key = part.substr(0, equals);
            const auto value = part.substr(equals + 1);
            out.set(ns::stringByRemovingPercentEncoding(key).value_or(std::string(key)),
                    ns::Value(ns::stringByRemovingPercentEncoding(value).value_or(std::string(value))));
        }
        start = end + 1;
    }
    return out;
}

std::string StatUtils::queryStringWithDictionary(const ns::Dictionary& dictionary) {
    std::string out;
    for (const auto& [key, value] : dictionary) {
        if (!out.empty()) out += "&";
        out += key + "=" + urlEncode(value.isString() ? std::string(value.asString()) : value.description());
    }
    return out;
}

std::optional<std::string> StatUtils::subString(std::string_view text, std::size_t bytesLength) {
    if (text.empty()) return std::nullopt;
    if (bytesLength == 0 || text.size() <= bytesLength) return std::string(text);
    return StatUtil::getString(text, bytesLength);
}

bool StatUtils::isPureInt(std::string_view text) {
    std::int32_t value = 0;
    text = withoutLeadingSpace(text);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

bool StatUtils::isPureFloat(std::string_view text) {
    float value = 0;
    text = withoutLeadingSpace(text);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

std::string StatUtils::urlEncode(std::string_view text) {
    // What a URL may carry unescaped, less every reserved delimiter.
    static const auto& allowed = *new ns::CharacterSet(ns::CharacterSet::characterSetWithCharactersInString(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~"));
    return ns::stringByAddingPercentEncodingWithAllowedCharacters(text, allowed);
}

std::string StatUtils::urlDecode(std::string_view text) {
    return ns::stringByRemovingPercentEncoding(text).value_or(std::string(text));
}

std::string StatUtils::base64Encode(std::string_view text) { return ns::base64EncodedString(ns::Data(text)); }
std::string StatUtils::base64EncodeData(const ns::Data& data) { return ns::base64EncodedString(data); }

void StatUtils::setOpenLog(bool open) { ns::lockedStore(sharedInstance().mutex_, sharedInstance().openLog_, open); }

bool StatUtils::openLog() { return ns::lockedCopy(sharedInstance().mutex_, sharedInstance().openLog_); }

void StatUtils::setPrefix(std::string prefix) {
    ns::lockedStore(sharedInstance().mutex_, sharedInstance().prefix_, std::move(prefix));
}

void StatUtils::outLog(const std::optional<std::string>& message) {
    std::string prefix;
    {
        std::lock_guard lock(sharedInstance().mutex_);
        if (!sharedInstance().openLog_) return;
        prefix = sharedInstance().prefix_;
    }
    char head[64];
    std::snprintf(head, sizeof head, "[%s(%5d)] - ", StatProtocolData::timeMSString().c_str(), static_cast<int>(::gettid()));
    // The message is data: whatever "%" it holds is printed as it stands.
    std::string line = head;
    if (!message) line += "nil";
    else line += (prefix.empty() ? std::string() : prefix + " ") + *message + " ";
    ns::Log::write(line);
}

std::uint32_t StatUtils::random32() {
    std::lock_guard lock(randomMutex);
    if (const auto& source = randomOverride()) return source();
    static std::mt19937 engine(std::random_device{}());
    return static_cast<std::uint32_t>(engine());
}

void StatUtils::setRandomSourceForTesting(std::function<std::uint32_t()> source) {
    ns::lockedStore(randomMutex, randomOverride(), std::move(source));
}

std::uint32_t StatUtils::getRand(std::uint32_t from, std::uint32_t to) {
    const std::uint32_t span = to - from + 1;
    // A span of the whole 32-bit range wraps to 0: every draw lies in it.
    if (span == 0) return random32();
    return from + random32() % span;
}

void StatUtils::printViewHierarchy(const ui::View& view, std::size_t depth) {
    for (const auto& subview : view.subviews()) {
        printIndented(*subview, depth);
        if (!subview->subviews().empty()) printViewHierarchy(*subview, depth + 2);
    }
    ns::Log::write("");
}

void StatUtils::printViews(const std::vector<std::shared_ptr<ui::View>>& views, std::size_t depth) {
    for (const auto& view : views) {
        printIndented(*view, depth);
        if (!view->subviews().empty()) printViewHierarchy(*view, depth + 2);
    }
    ns::Log::write("");
}

std::shared_ptr<ui::Image> StatUtils::addImage(const ui::Image& top, const ui::Image& bottom) {
    ui::ImageContextScope context(bottom.size(), false, ui::Screen::mainScreen().scale());
    if (!context.context()) return nullptr;
    bottom.drawInRect({{0, 0}, bottom.size()});
    top.drawInRect({{0, 0}, top.size()});
    return context.image();
}

std::optional<std::string> StatUtils::getBundleRes(std::string_view resourceName, std::string_view bundleName) {
    if (resourceName.empty()) return std::nullopt;
    const std::string bundlePath = ns::Bundle::main().resourcePath() + "/" + std::string(bundleName) + ".bundle";
    bool isDirectory = false;
    if (!ns::FileManager::defaultManager().fileExistsAtPath(bundlePath, &isDirectory) || !isDirectory) return std::nullopt;
    return bundlePath + "/" + std::string(resourceName);
}

bool StatUtils::canOpenUrl(std::string_view url) {
    auto location = ns::URL::fromString(url);
    return location && ui::Application::sharedApplication().canOpenURL(*location);
}

bool StatUtils::openUrl(std::string_view url) {
    auto location = ns::URL::fromString(url);
    return location && ui::Application::sharedApplication().openURL(*location);
}

bool StatUtils::makingACall(std::string_view number) { return openUrl("tel://" + std::string(number)); }

bool StatUtils::presentStoreProductForApp(std::string_view, ui::ViewController*,
                                          const std::function<void(bool, const ns::Error*)>&) {
    return false;
}

std::optional<std::string> StatUtils::JSONFragment(const ns::Value& value) {
    auto writer = std::make_shared<StatJsonWriter>();
    auto text = writer->stringWithFragment(value);
    if (!text) logFailure("-JSONFragment", *writer);
    return text;
}

ns::Value StatUtils::JSONValue(std::string_view text) {
    auto parser = std::make_shared<StatJsonParser>();
    ns::Value value = parser->objectWithString(text);
    if (value.isNil()) logFailure("-JSONValue", *parser);
    return value;
}

}  // namespace ql
