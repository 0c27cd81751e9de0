#pragma once
// AttributedLabelDelegate: what a label tells about taps and long presses on its links. Every member is
// optional: one that a delegate does not override answers false, which reads as "does not respond", so
// the label falls back to the text-checking-result form. Points are in the label's coordinates.

#include <map>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/foundation/TextCheckingResult.h"
#include "platform/foundation/TimeZone.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"

namespace ql {

class AttributedLabel;

class AttributedLabelDelegate {
public:
    virtual ~AttributedLabelDelegate() = default;

    virtual bool didSelectLinkWithURL(AttributedLabel&, const ns::URL&) { return false; }
    virtual bool didSelectLinkWithAddress(AttributedLabel&, const ns::Dictionary&) { return false; }
    virtual bool didSelectLinkWithPhoneNumber(AttributedLabel&, const std::string&) { return false; }
    virtual bool didSelectLinkWithDate(AttributedLabel&, ns::Date, const ns::TimeZone&, double /*duration*/) {
        return false;
    }
    virtual bool didSelectLinkWithDate(AttributedLabel&, ns::Date) { return false; }
    virtual bool didSelectLinkWithTransitInformation(AttributedLabel&, const ns::Dictionary&) { return false; }
    virtual bool didSelectLinkWithTextCheckingResult(AttributedLabel&, const ns::TextCheckingResult&) { return false; }

    virtual bool didLongPressLinkWithURL(AttributedLabel&, const ns::URL&, cg::Point) { return false; }
    virtual bool didLongPressLinkWithAddress(AttributedLabel&, const ns::Dictionary&, cg::Point) { return false; }
    virtual bool didLongPressLinkWithPhoneNumber(AttributedLabel&, const std::string&, cg::Point) { return false; }
    virtual bool didLongPressLinkWithDate(AttributedLabel&, ns::Date, const ns::TimeZone&, double /*duration*/,
                                          cg::Point) {
        return false;
    }
    virtual bool didLongPressLinkWithDate(AttributedLabel&, ns::Date, cg::Point) { return false; }
    virtual bool didLongPressLinkWithTransitInformation(AttributedLabel&, const ns::Dictionary&, cg::Point) {
        return false;
    }
    virtual bool didLongPressLinkWithTextCheckingResult(AttributedLabel&, const ns::TextCheckingResult&, cg::Point) {
        return false;
    }
};

}  // namespace ql
