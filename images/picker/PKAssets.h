#pragma once
// PKAssets: the record of one photo chosen in the picker: the album that was on show when it was chosen
// and the asset itself, as photo-library identifiers, so that the receiver can fetch the photo later.
// Records have no equality of their own; the asset's URL is the photo's identity.

#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/URL.h"

namespace ql {

class PKAssets : public ns::Object, public ns::Coding {
    QL_OBJECT(PKAssets, ns::Object)
public:
    static constexpr std::string_view kGroupPropertyIDKey = "kPKPickerGroupPropertyID";
    static constexpr std::string_view kGroupPropertyURLKey = "kPKPickerGroupPropertyURL";
    static constexpr std::string_view kAssetPropertyURLKey = "kPKPickerAssetPropertyURL";

    PKAssets() = default;

    const std::optional<std::string>& groupPropertyID() const { return groupPropertyID_; }
    void setGroupPropertyID(std::optional<std::string> id) { groupPropertyID_ = std::move(id); }
    const std::optional<ns::URL>& groupPropertyURL() const { return groupPropertyURL_; }
    void setGroupPropertyURL(std::optional<ns::URL> url) { groupPropertyURL_ = std::move(url); }
    const std::optional<ns::URL>& assetPropertyURL() const { return assetPropertyURL_; }
    void setAssetPropertyURL(std::optional<ns::URL> url) { assetPropertyURL_ = std::move(url); }

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;

private:
    std::optional<std::string> groupPropertyID_;
    std::optional<ns::URL> groupPropertyURL_;
    std::optional<ns::URL> assetPropertyURL_;
};

}  // namespace ql
