#include <algorithm>
#include <cmath>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Text.h"
#include "platform/text/LinePositions.h"
#include "platform/ui/DisplayCycle.h"
#include "web/label/AttributedLabel.h"

namespace ql {

namespace {

// Search radii around a touch that misses every link, nearest first.
constexpr double TouchRadii[] = {2.5, 5, 7.5, 12.5, 15};
// How far outside the bounds a touch may still find a link.
constexpr double TouchMargin = 15;

bool rangeWithin(ns::Range range, std::uint64_t length) { return range.location != ns::NotFound && range.liesWithin(length); }

}  // namespace

// ---- Adding links ----

std::vector<ns::TextCheckingResult> AttributedLabel::links() const {
    std::vector<ns::TextCheckingResult> results;
    results.reserve(linkModels_.size());
    for (const auto& link : linkModels_) results.push_back(link->result());
    return results;
}

void AttributedLabel::setLinkModels(std::vector<std::shared_ptr<AttributedLabelLink>> links) {
    linkModels_ = std::move(links);
    std::lock_guard lock(lock_);
    accessibilityElements_.reset();
}

void AttributedLabel::addLinks(const std::vector<std::shared_ptr<AttributedLabelLink>>& links) {
    std::vector<std::shared_ptr<AttributedLabelLink>> all = linkModels_;
    if (attributedText_) {
        ct::AttributedString text = *attributedText_;
        for (const auto& link : links) {
            // A range outside the text has nothing to restyle; the link is still kept.
            if (link->attributes() && rangeWithin(link->result().range(), text.length()))
                text.addAttributes(*link->attributes(), link->result().range());
        }
        setAttributedText(std::move(text));
    }
    setNeedsDisplay();
    all.insert(all.end(), links.begin(), links.end());
    setLinkModels(std::move(all));
}

void AttributedLabel::addLink(const std::shared_ptr<AttributedLabelLink>& link) { addLinks({link}); }

std::vector<std::shared_ptr<AttributedLabelLink>> AttributedLabel::addLinksWithTextCheckingResults(
    const std::vector<ns::TextCheckingResult>& results, const std::optional<ns::Dictionary>& attributes) {
    std::vector<std::shared_ptr<AttributedLabelLink>> links;
    for (const auto& result : results) {
        std::optional<ns::Dictionary> active;
        std::optional<ns::Dictionary> inactive;
        if (attributes) {
            active = activeLinkAttributes_;
            inactive = inactiveLinkAttributes_;
        }
        links.push_back(std::make_shared<AttributedLabelLink>(attributes, active, inactive, result));
    }
    addLinks(links);
    return links;
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::addLinkWithTextCheckingResult(
    const ns::TextCheckingResult& result, const std::optional<ns::Dictionary>& attributes) {
    return addLinksWithTextCheckingResults({result}, attributes).front();
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::addLinkWithTextCheckingResult(const ns::TextCheckingResult& result) {
    return addLinkWithTextCheckingResult(result, linkAttributes_);
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::addLinkToURL(const ns::URL& url, ns::Range range) {
    return addLinkWithTextCheckingResult(ns::TextCheckingResult::linkCheckingResult(range, url));
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::addLinkToAddress(const ns::Dictionary& components, ns::Range range) {
    return addLinkWithTextCheckingResult(ns::TextCheckingResult::addressCheckingResult(range, components));
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::addLinkToPhoneNumber(const std::string& phoneNumber,
                                                                           ns::Range range) {
    return addLinkWithTextCheckingResult(ns::TextCheckingResult::phoneNumberCheckingResult(range, phoneNumber));
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::addLinkToDate(ns::Date date, ns::Range range) {
    return addLinkWithTextCheckingResult(ns::TextCheckingResult::dateCheckingResult(range, date));
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::addLinkToDate(ns::Date date, const ns::TimeZone& timeZone,
                                                                    double duration, ns::Range range) {
    return addLinkWithTextCheckingResult(ns::TextCheckingResult::dateCheckingResult(range, date, timeZone, duration));
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::addLinkToTransitInformation(const ns::Dictionary& components,
                                                                                  ns::Range range) {
    return addLinkWithTextCheckingResult(ns::TextCheckingResult::transitInformationCheckingResult(range, components));
}

// ---- Detection ----

std::shared_ptr<const ns::DataDetector> AttributedLabel::dataDetector() const {
    std::lock_guard lock(detectorLock_);
    return dataDetector_;
}

void AttributedLabel::setDataDetector(std::shared_ptr<const ns::DataDetector> detector) {
    std::lock_guard lock(detectorLock_);
    dataDetector_ = std::move(detector);
}

void AttributedLabel::setEnabledTextCheckingTypes(std::uint64_t types) {
    if (types == enabledTextCheckingTypes_) return;
    enabledTextCheckingTypes_ = types;
    std::shared_ptr<const ns::DataDetector> detector;
    if (types != 0) {
        if (auto made = ns::DataDetector::dataDetectorWithTypes(types)) detector = std::make_shared<const ns::DataDetector>(*made);
    }
    setDataDetector(std::move(detector));
}

void AttributedLabel::startDataDetection(const ct::AttributedString& text) {
    auto detector = dataDetector();
    if (!detector || text.empty()) return;
    // The task holds no reference to the label: the label may go while it runs, and is only ever
    // released on the main thread. The finds come back to the main queue without the task waiting.
    std::weak_ptr<ns::Object> weak = weak_from_this();
    auto string = std::make_shared<const std::u16string>(text.u16string());
    ns::DispatchQueue::global()->async([weak, string, detector] {
        auto matches = std::make_shared<std::vector<ns::TextCheckingResult>>(
            detector->matchesInString(ns::fromUTF16(*string)));
        if (matches->empty()) return;
        ns::DispatchQueue::main()->async([weak, string, matches] {
            auto label = std::static_pointer_cast<AttributedLabel>(weak.lock());
            // Text replaced meanwhile keeps none of the old text's finds.
            if (!label || !label->attributedText_ || label->attributedText_->u16string() != *string) return;
            label->addLinksWithTextCheckingResults(*matches, label->linkAttributes_);
        });
    });
}

// ---- Active and dimmed looks ----

void AttributedLabel::setActiveLink(std::shared_ptr<AttributedLabelLink> link) {
    activeLink_ = std::move(link);
    const ns::Dictionary& look =
        activeLink_ && activeLink_->activeAttributes() ? *activeLink_->activeAttributes() : activeLinkAttributes_;
    if (activeLink_ && !look.empty()) {
        if (!inactiveAttributedText_) inactiveAttributedText_ = attributedText_;
        if (!inactiveAttributedText_) return;
        ct::AttributedString text = *inactiveAttributedText_;
        const ns::Range range = activeLink_->result().range();
        if (range.length > 0 && rangeWithin(range, text.length())) text.addAttributes(look, range);
        setAttributedText(std::move(text));
        setNeedsDisplay();
        ui::DisplayCycle::flush();
    } else if (inactiveAttributedText_) {
        setAttributedText(std::move(inactiveAttributedText_));
        inactiveAttributedText_.reset();
        setNeedsDisplay();
    }
}

void AttributedLabel::tintColorDidChange() {
    if (inactiveLinkAttributes_.empty() || !attributedText_) return;
    const bool dimmed = tintAdjustmentMode() == ui::ViewTintAdjustmentMode::Dimmed;
    ct::AttributedString text = *attributedText_;
    for (const auto& link : linkModels_) {
        const auto& takeAway = dimmed ? link->attributes() : link->inactiveAttributes();
        const auto& layOn = dimmed ? link->inactiveAttributes() : link->attributes();
        const ns::Range range = link->result().range();
        if (!rangeWithin(range, text.length())) continue;
        if (takeAway) {
            for (const auto& [key, value] : *takeAway) text.removeAttribute(key, range);
        }
        if (layOn) text.addAttributes(*layOn, range);
    }
    setAttributedText(std::move(text));
    setNeedsDisplay();
}

// ---- Finding links ----

std::shared_ptr<AttributedLabelLink> AttributedLabel::linkAtCharacterIndex(std::int64_t index) const {
    if (!attributedText_ || index < 0 || static_cast<std::uint64_t>(index) >= attributedText_->length()) return nullptr;
    const auto at = static_cast<std::uint64_t>(index);
    for (auto link = linkModels_.rbegin(); link != linkModels_.rend(); ++link) {
        const ns::Range range = (*link)->result().range();
        if (range.location != ns::NotFound && range.location <= at && at < range.end()) return *link;
    }
    return nullptr;
}

std::uint64_t AttributedLabel::characterIndexAtPoint(cg::Point point) const {
    if (!attributedText_ || !cg::rectContainsPoint(bounds(), point)) return ns::NotFound;
    const cg::Rect textRect = textRectForBounds(bounds(), numberOfLines());
    if (!cg::rectContainsPoint(textRect, point)) return ns::NotFound;
    ct::Frame frame = frameInRect(textRect);
    std::size_t count = frame.lines().size();
    if (numberOfLines() > 0) count = std::min<std::size_t>(count, static_cast<std::size_t>(numberOfLines()));
    // Text space: y grows upwards from the rectangle's bottom.
    const double x = point.x - textRect.origin.x;
    const double y = textRect.size.height - (point.y - textRect.origin.y);
    for (std::size_t i = 0; i < count; ++i) {
        const ct::Line& line = frame.lines()[i];
        const cg::Point origin = frame.lineOrigins()[i];
        const double top = std::ceil(origin.y + line.ascent());
        if (y > top) return ns::NotFound;
        const double start = lineStart(frame, i, line);
        if (x >= start && x <= start + line.width() && y >= std::floor(origin.y - line.descent()))
            return ct::stringIndexForPosition(line, {x - start, y - origin.y});
    }
    return ns::NotFound;
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::linkAtPoint(cg::Point point) const {
    const cg::Rect reach = cg::rectInset(bounds(), -TouchMargin, -TouchMargin);
    if (!cg::rectContainsPoint(reach, point) || linkModels_.empty()) return nullptr;
    const std::uint64_t index = characterIndexAtPoint(point);
    if (index != ns::NotFound) {
        if (auto link = linkAtCharacterIndex(static_cast<std::int64_t>(index))) return link;
    }
    if (!extendsLinkTouchArea_) return nullptr;
    for (double radius : TouchRadii) {
        if (auto link = linkAtRadius(radius, point)) return link;
    }
    return nullptr;
}

std::shared_ptr<AttributedLabelLink> AttributedLabel::linkAtRadius(double radius, cg::Point point) const {
    const double d = std::sqrt(2 * radius * radius);
    const cg::Point probes[] = {{0, -radius}, {0, radius}, {-radius, 0}, {radius, 0},
                                {-d, -d},     {-d, d},     {d, d},       {d, -d}};
    for (cg::Point offset : probes) {
        const std::uint64_t index = characterIndexAtPoint({point.x + offset.x, point.y + offset.y});
        if (index == ns::NotFound) continue;
        if (auto link = linkAtCharacterIndex(static_cast<std::int64_t>(index))) return link;
    }
    return nullptr;
}

}  // namespace ql
