#pragma once
// AttributedLabelLink: one link of an AttributedLabel: a range of its text with what the range stands for
// (a text-checking result: a URL, address, phone number, date, transit information or any other kind),
// the looks laid over the range normally, while touched and while the tint is dimmed, and optional blocks
// that take a tap or long press in place of the label's delegate.

#include <functional>
#include <optional>
#include <string>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Object.h"
#include "platform/foundation/TextCheckingResult.h"
#include "platform/foundation/Value.h"

namespace ql {

class AttributedLabel;

class AttributedLabelLink : public ns::Object, public ns::Coding {
    QL_OBJECT_NAMED(AttributedLabelLink, ns::Object, "AttributedLabelLink")
public:
    using Block = std::function<void(AttributedLabel& label, AttributedLabelLink& link)>;

    AttributedLabelLink() = default;
    AttributedLabelLink(std::optional<ns::Dictionary> attributes, std::optional<ns::Dictionary> activeAttributes,
                        std::optional<ns::Dictionary> inactiveAttributes, ns::TextCheckingResult result);
    // With the label's link, active-link and inactive-link looks.
    AttributedLabelLink(const AttributedLabel& label, ns::TextCheckingResult result);

    const ns::TextCheckingResult& result() const { return result_; }
    const std::optional<ns::Dictionary>& attributes() const { return attributes_; }
    const std::optional<ns::Dictionary>& activeAttributes() const { return activeAttributes_; }
    const std::optional<ns::Dictionary>& inactiveAttributes() const { return inactiveAttributes_; }

    // The spoken value; when none or empty is stored, one is derived from the result and kept: a date in
    // the long date and time styles, a phone number, a link's absolute URL; other kinds have none.
    std::optional<std::string> accessibilityValue() const;
    void setAccessibilityValue(std::optional<std::string> value) { accessibilityValue_ = std::move(value); }

    const Block& linkTapBlock() const { return tapBlock_; }
    void setLinkTapBlock(Block block) { tapBlock_ = std::move(block); }
    const Block& linkLongPressBlock() const { return longPressBlock_; }
    void setLinkLongPressBlock(Block block) { longPressBlock_ = std::move(block); }

    // "result", "attributes", "activeAttributes", "inactiveAttributes" and "accessibilityValue"; the
    // blocks are not archived.
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;

private:
    ns::TextCheckingResult result_;
    std::optional<ns::Dictionary> attributes_;
    std::optional<ns::Dictionary> activeAttributes_;
    std::optional<ns::Dictionary> inactiveAttributes_;
    mutable std::optional<std::string> accessibilityValue_;
    Block tapBlock_;
    Block longPressBlock_;
};

}  // namespace ql
