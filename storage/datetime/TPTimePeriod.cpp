#include "storage/datetime/TPTimePeriod.h"

#include <cmath>

#include "storage/datetime/DateUtil.h"

namespace ql {

namespace {

using OptionalDate = TPTimePeriod::OptionalDate;

// The elementary tests of a period against another. A missing first date makes a test false; a missing
// second date makes an equality false and counts as the instant 0 in an ordering, so that periods with
// missing dates answer consistently instead of failing.
ns::Date orEpoch(const OptionalDate& date) { return date.value_or(ns::Date()); }
bool earlier(const OptionalDate& a, const OptionalDate& b) {
    return a && DateUtil::isEarlierThan(*a, orEpoch(b));
}
bool later(const OptionalDate& a, const OptionalDate& b) { return a && DateUtil::isLaterThan(*a, orEpoch(b)); }
bool earlierOrEqual(const OptionalDate& a, const OptionalDate& b) {
    return a && DateUtil::isEarlierThanOrEqualTo(*a, orEpoch(b));
}
bool laterOrEqual(const OptionalDate& a, const OptionalDate& b) {
    return a && DateUtil::isLaterThanOrEqualTo(*a, orEpoch(b));
}
bool same(const OptionalDate& a, const OptionalDate& b) { return a && b && *a == *b; }

OptionalDate added(std::uint64_t size, std::int64_t amount, const OptionalDate& date) {
    if (!date) return date;
    return TPTimePeriod::dateWithAddedTime(size, amount, *date);
}
OptionalDate subtracted(std::uint64_t size, std::int64_t amount, const OptionalDate& date) {
    if (!date) return date;
    return TPTimePeriod::dateWithSubtractedTime(size, amount, *date);
}

}  // namespace

TPTimePeriod::TPTimePeriod(OptionalDate startDate, OptionalDate endDate) {
    setStartDate(startDate);
    setEndDate(endDate);
}

std::shared_ptr<TPTimePeriod> TPTimePeriod::timePeriodWithStartDate(OptionalDate startDate, OptionalDate endDate) {
    return std::make_shared<TPTimePeriod>(startDate, endDate);
}

std::shared_ptr<TPTimePeriod> TPTimePeriod::timePeriodWithSize(std::uint64_t size, std::int64_t amount,
                                                               ns::Date startingAt) {
    return timePeriodWithStartDate(startingAt, dateWithAddedTime(size, amount, startingAt));
}

std::shared_ptr<TPTimePeriod> TPTimePeriod::timePeriodWithSize(std::uint64_t size, ns::Date startingAt) {
    return timePeriodWithSize(size, 1, startingAt);
}

std::shared_ptr<TPTimePeriod> TPTimePeriod::timePeriodWithSizeEndingAt(std::uint64_t size, std::int64_t amount,
                                                                       ns::Date endingAt) {
    return timePeriodWithStartDate(dateWithSubtractedTime(size, amount, endingAt), endingAt);
}

std::shared_ptr<TPTimePeriod> TPTimePeriod::timePeriodWithSizeEndingAt(std::uint64_t size, ns::Date endingAt) {
    return timePeriodWithSizeEndingAt(size, 1, endingAt);
}

std::shared_ptr<TPTimePeriod> TPTimePeriod::timePeriodWithAllTime() {
    return timePeriodWithStartDate(ns::Date::distantPast(), ns::Date::distantFuture());
}

ns::Date TPTimePeriod::dateWithAddedTime(std::uint64_t size, std::int64_t amount, ns::Date baseDate) {
    switch (size) {
        case TPStepSecond: return DateUtil::dateByAddingSeconds(baseDate, amount);
        case TPStepMinute: return DateUtil::dateByAddingMinutes(baseDate, amount);
        case TPStepHour: return DateUtil::dateByAddingHours(baseDate, amount);
        case TPStepDay: return DateUtil::dateByAddingDays(baseDate, amount);
        case TPStepWeek: return DateUtil::dateByAddingWeeks(baseDate, amount);
        case TPStepMonth: return DateUtil::dateByAddingMonths(baseDate, amount);
        case TPStepYear: return DateUtil::dateByAddingYears(baseDate, amount);
        default: return baseDate;
    }
}

ns::Date TPTimePeriod::dateWithSubtractedTime(std::uint64_t size, std::int64_t amount, ns::Date baseDate) {
    switch (size) {
        case TPStepSecond: return DateUtil::dateBySubtractingSeconds(baseDate, amount);
        case TPStepMinute: return DateUtil::dateBySubtractingMinutes(baseDate, amount);
        case TPStepHour: return DateUtil::dateBySubtractingHours(baseDate, amount);
        case TPStepDay: return DateUtil::dateBySubtractingDays(baseDate, amount);
        case TPStepWeek: return DateUtil::dateBySubtractingWeeks(baseDate, amount);
        case TPStepMonth: return DateUtil::dateBySubtractingMonths(baseDate, amount);
        case TPStepYear: return DateUtil::dateBySubtractingYears(baseDate, amount);
        default: return baseDate;
    }
}

std::shared_ptr<TPTimePeriod> TPTimePeriod::copyPeriod() const { return timePeriodWithStartDate(startDate_, endDate_); }

bool TPTimePeriod::isMoment() const { return same(startDate_, endDate_); }

double TPTimePeriod::durationInYears() const {
    if (!startDate_ || !endDate_) return 0;
    return static_cast<double>(DateUtil::yearsEarlierThan(*startDate_, *endDate_));
}
double TPTimePeriod::durationInWeeks() const {
    if (!startDate_ || !endDate_) return 0;
    return static_cast<double>(DateUtil::weeksEarlierThan(*startDate_, *endDate_));
}
double TPTimePeriod::durationInDays() const {
    if (!startDate_ || !endDate_) return 0;
    return static_cast<double>(DateUtil::daysEarlierThan(*startDate_, *endDate_));
}
double TPTimePeriod::durationInHours() const {
    if (!startDate_ || !endDate_) return 0;
    return DateUtil::hoursEarlierThan(*startDate_, *endDate_);
}
double TPTimePeriod::durationInMinutes() const {
    if (!startDate_ || !endDate_) return 0;
    return DateUtil::minutesEarlierThan(*startDate_, *endDate_);
}
double TPTimePeriod::durationInSeconds() const {
    if (!startDate_ || !endDate_) return 0;
    return DateUtil::secondsEarlierThan(*startDate_, *endDate_);
}

bool TPTimePeriod::isEqualToPeriod(const TPTimePeriod& period) const {
    return same(startDate_, period.startDate_) && same(endDate_, period.endDate_);
}

bool TPTimePeriod::isInside(const TPTimePeriod& period) const {
    return earlierOrEqual(period.startDate_, startDate_) && laterOrEqual(period.endDate_, endDate_);
}

bool TPTimePeriod::contains(const TPTimePeriod& period) const {
    return earlierOrEqual(startDate_, period.startDate_) && laterOrEqual(endDate_, period.endDate_);
}

bool TPTimePeriod::overlapsWith(const TPTimePeriod& period) const {
    const OptionalDate& start = period.startDate_;
    const OptionalDate& end = period.endDate_;
    if (earlier(start, startDate_) && later(end, startDate_)) return true;
    if (laterOrEqual(start, startDate_) && earlierOrEqual(end, endDate_)) return true;
    return earlier(start, endDate_) && later(end, endDate_);
}

bool TPTimePeriod::intersects(const TPTimePeriod& period) const {
    const OptionalDate& start = period.startDate_;
    const OptionalDate& end = period.endDate_;
    if (earlier(start, startDate_) && laterOrEqual(end, startDate_)) return true;
    if (laterOrEqual(start, startDate_) && earlierOrEqual(end, endDate_)) return true;
    return earlierOrEqual(start, endDate_) && later(end, endDate_);
}

TPPeriodRelation TPTimePeriod::relationToPeriod(const TPTimePeriod& period) const {
    if (!startDate_ || !endDate_ || !period.startDate_ || !period.endDate_) return TPRelationNone;
    const ns::Date start = *startDate_, end = *endDate_;
    const ns::Date otherStart = *period.startDate_, otherEnd = *period.endDate_;
    if (!DateUtil::isEarlierThan(start, end) || !DateUtil::isEarlierThan(otherStart, otherEnd))
        return TPRelationNone;
    using DateUtil::isEarlierThan;
    using DateUtil::isLaterThan;
    if (isEarlierThan(otherEnd, start)) return TPRelationWhollyAfter;
    if (otherEnd == start) return TPRelationStartsAtItsEnd;
    if (isEarlierThan(otherStart, start) && isEarlierThan(otherEnd, end)) return TPRelationStartsInside;
    if (otherStart == start && isLaterThan(otherEnd, end)) return TPRelationInsideSameStart;
    if (otherStart == start && isEarlierThan(otherEnd, end)) return TPRelationEnclosesSameStart;
    if (isLaterThan(otherStart, start) && isEarlierThan(otherEnd, end)) return TPRelationEncloses;
    if (isLaterThan(otherStart, start) && otherEnd == end) return TPRelationEnclosesSameEnd;
    if (otherStart == start && otherEnd == end) return TPRelationSame;
    if (isEarlierThan(otherStart, start) && isLaterThan(otherEnd, end)) return TPRelationInside;
    if (isEarlierThan(otherStart, start) && otherEnd == end) return TPRelationInsideSameEnd;
    if (isEarlierThan(otherStart, end) && isLaterThan(otherEnd, end)) return TPRelationEndsInside;
    if (otherStart == end && isLaterThan(otherEnd, end)) return TPRelationEndsAtItsStart;
    if (isLaterThan(otherStart, end)) return TPRelationWhollyBefore;
    return TPRelationNone;
}

double TPTimePeriod::gapBetween(const TPTimePeriod& period) const {
    if (earlier(endDate_, period.startDate_))
        return std::fabs(orEpoch(endDate_).timeIntervalSinceDate(orEpoch(period.startDate_)));
    if (earlier(period.endDate_, startDate_))
        return std::fabs(orEpoch(period.endDate_).timeIntervalSinceDate(orEpoch(startDate_)));
    return 0;
}

bool TPTimePeriod::containsDate(ns::Date date, std::uint64_t interval) const {
    if (interval == TPBoundaryExclusive) return earlier(startDate_, date) && later(endDate_, date);
    if (interval == TPBoundaryInclusive) return earlierOrEqual(startDate_, date) && laterOrEqual(endDate_, date);
    return false;
}

void TPTimePeriod::shiftEarlierWithSize(std::uint64_t size, std::int64_t amount) {
    setStartDate(subtracted(size, amount, startDate_));
    setEndDate(subtracted(size, amount, endDate_));
}

void TPTimePeriod::shiftLaterWithSize(std::uint64_t size, std::int64_t amount) {
    setStartDate(added(size, amount, startDate_));
    setEndDate(added(size, amount, endDate_));
}

void TPTimePeriod::lengthenWithAnchorDate(std::uint64_t anchor, std::uint64_t size, std::int64_t amount) {
    switch (anchor) {
        case TPResizeFixEnd: setStartDate(subtracted(size, amount, startDate_)); break;
        case TPResizeFixMiddle:
            setStartDate(subtracted(size, amount / 2, startDate_));
            setEndDate(added(size, amount / 2, endDate_));
            break;
        case TPResizeFixStart: setEndDate(added(size, amount, endDate_)); break;
        default: break;
    }
}

void TPTimePeriod::shortenWithAnchorDate(std::uint64_t anchor, std::uint64_t size, std::int64_t amount) {
    switch (anchor) {
        case TPResizeFixEnd: setStartDate(added(size, amount, startDate_)); break;
        case TPResizeFixMiddle:
            setStartDate(added(size, amount / 2, startDate_));
            setEndDate(subtracted(size, amount / 2, endDate_));
            break;
        case TPResizeFixStart: setEndDate(subtracted(size, amount, endDate_)); break;
        default: break;
    }
}

}  // namespace ql
