#include "web/label/AttributedLabelLink.h"

#include "platform/foundation/DateFormatter.h"
#include "web/label/AttributedLabel.h"

namespace ql {

AttributedLabelLink::AttributedLabelLink(std::optional<ns::Dictionary> attributes,
                                         std::optional<ns::Dictionary> activeAttributes,
                                         std::optional<ns::Dictionary> inactiveAttributes, ns::TextCheckingResult result)
    : result_(std::move(result)),
      attributes_(std::move(attributes)),
      activeAttributes_(std::move(activeAttributes)),
      inactiveAttributes_(std::move(inactiveAttributes)) {}

AttributedLabelLink::AttributedLabelLink(const AttributedLabel& label, ns::TextCheckingResult result)
    : AttributedLabelLink(label.linkAttributes(), label.activeLinkAttributes(), label.inactiveLinkAttributes(),
                          std::move(result)) {}

std::optional<std::string> AttributedLabelLink::accessibilityValue() const {
    if (accessibilityValue_ && !accessibilityValue_->empty()) return accessibilityValue_;
    switch (result_.resultType) {
    case ns::TextCheckingTypeDate:
        if (result_.date) {
            ns::DateFormatter formatter;
            formatter.setDateStyle(ns::DateFormatterStyle::Long);
            formatter.setTimeStyle(ns::DateFormatterStyle::Long);
            accessibilityValue_ = formatter.stringFromDate(*result_.date);
        }
        break;
    case ns::TextCheckingTypePhoneNumber: accessibilityValue_ = result_.phoneNumber; break;
    case ns::TextCheckingTypeLink:
        if (result_.URL) accessibilityValue_ = result_.URL->absoluteString();
        break;
    default: break;
    }
    return accessibilityValue_;
}

}  // namespace ql
