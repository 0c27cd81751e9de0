#include "analytics/client/OCUtil.h"

#include <exception>

#include "analytics/client/RezOzovaConfig.h"
#include "analytics/client/StatOnlineConfig.h"
#include "analytics/client/StatProtocolData.h"
#include "analytics/client/StatSharedUDID.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Zlib.h"

namespace ql {

std::string OCUtil::appPackageNameString() { return StatProtocolData::appPackageNameString(); }
std::string OCUtil::appBundleVersionString() { return StatProtocolData::appBundleVersionString(); }
std::string OCUtil::appShortVersionString() { return StatProtocolData::appShortVersionString(); }

bool OCUtil::isEmptyString(const ns::Value& value) {
    if (value.isNil() || value.isNull()) return true;
    if (!value.isString()) return false;
    return ns::stringByTrimmingCharactersInSet(value.asString(), ns::CharacterSet::whitespaceAndNewlineCharacterSet())
        .empty();
}

std::string OCUtil::JSONFragment(const ns::Value& value) {
    ns::Error error("", 0);
    auto data = ns::JSONSerialization::dataWithJSONObject(value, 0, &error);
    if (!data) {
        StatOnlineConfig::log("Got an error: " + error.localizedDescription());
        return {};
    }
    return data->toString();
}

ns::Value OCUtil::JSONValue(std::string_view text) {
    return ns::JSONSerialization::JSONObjectWithData(text, 0, nullptr);
}

std::optional<ns::Data> OCUtil::deflatedData(const ns::Data& source) { return deflatedDataPrefixedWith({}, -1, source); }

std::optional<ns::Data> OCUtil::deflatedDataPrefixedWith(const ns::Data& prefix, int level, const ns::Data& source) {
    auto stream = ns::zlibCompress(source, level);
    if (!stream) return std::nullopt;
    ns::Data out = prefix;
    out.append(*stream);
    return out;
}

std::string OCUtil::openUDIDString() {
    try {
        return OCSharedUDID::value().value_or("");
    } catch (const std::exception& exception) {
        StatOnlineConfig::log(std::string("Exception occurred: ") + exception.what());
        return {};
    }
}

ns::Value OCUtil::configureWithKey(std::string_view key) { return RezOzovaConfig::configureWithKey(key); }

void OCUtil::setConfigure(const ns::Value& value, std::string_view key) { RezOzovaConfig::setConfigure(value, key); }

}  // namespace ql
