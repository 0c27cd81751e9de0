#pragma once
// TPTimePeriod: a span of time between a start and an end date (either may be missing): its durations,
// how it lies against another period, whether it holds a date, and moving or resizing it in calendar steps.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"

namespace ql {

enum TPCalendarStep : std::uint64_t {
    TPStepSecond = 0,
    TPStepMinute = 1,
    TPStepHour = 2,
    TPStepDay = 3,
    TPStepWeek = 4,
    TPStepMonth = 5,
    TPStepYear = 6,
};

enum TPBoundaryMode : std::uint64_t { TPBoundaryExclusive = 0, TPBoundaryInclusive = 1 };

enum TPResizeAnchor : std::uint64_t { TPResizeFixStart = 0, TPResizeFixMiddle = 1, TPResizeFixEnd = 2 };

// How the receiver lies against another period.
enum TPPeriodRelation : std::uint64_t {
    TPRelationWhollyAfter = 0,
    TPRelationStartsAtItsEnd = 1,
    TPRelationStartsInside = 2,
    TPRelationInsideSameStart = 3,
    TPRelationEnclosesSameStart = 4,
    TPRelationEncloses = 5,
    TPRelationEnclosesSameEnd = 6,
    TPRelationSame = 7,
    TPRelationInside = 8,
    TPRelationInsideSameEnd = 9,
    TPRelationEndsInside = 10,
    TPRelationEndsAtItsStart = 11,
    TPRelationWhollyBefore = 12,
    TPRelationNone = 13,
};

class TPTimePeriod : public ns::Object {
    QL_OBJECT(TPTimePeriod, ns::Object)
public:
    using OptionalDate = std::optional<ns::Date>;

    TPTimePeriod() = default;
    TPTimePeriod(OptionalDate startDate, OptionalDate endDate);

    static std::shared_ptr<TPTimePeriod> timePeriodWithStartDate(OptionalDate startDate, OptionalDate endDate);
    static std::shared_ptr<TPTimePeriod> timePeriodWithSize(std::uint64_t size, std::int64_t amount,
                                                            ns::Date startingAt);
    static std::shared_ptr<TPTimePeriod> timePeriodWithSize(std::uint64_t size, ns::Date startingAt);
    static std::shared_ptr<TPTimePeriod> timePeriodWithSizeEndingAt(std::uint64_t size, std::int64_t amount,
                                                                    ns::Date endingAt);
    static std::shared_ptr<TPTimePeriod> timePeriodWithSizeEndingAt(std::uint64_t size, ns::Date endingAt);
    static std::shared_ptr<TPTimePeriod> timePeriodWithAllTime();
    // The base date moved by `amount` steps; a step outside TPCalendarStep leaves it as it is.
    static ns::Date dateWithAddedTime(std::uint64_t size, std::int64_t amount, ns::Date baseDate);
    static ns::Date dateWithSubtractedTime(std::uint64_t size, std::int64_t amount, ns::Date baseDate);

    // A new period with the same dates; a missing date stays missing.
    std::shared_ptr<TPTimePeriod> copyPeriod() const;
    std::shared_ptr<ns::Object> copy() const override { return copyPeriod(); }

    const OptionalDate& StartDate() const { return startDate_; }
    void setStartDate(OptionalDate date) { startDate_ = date; }
    const OptionalDate& EndDate() const { return endDate_; }
    void setEndDate(OptionalDate date) { endDate_ = date; }

    bool hasStartDate() const { return startDate_.has_value(); }
    bool hasEndDate() const { return endDate_.has_value(); }
    bool isMoment() const;

    // 0 when a date is missing or the end lies before the start. Years, weeks and days are whole.
    double durationInYears() const;
    double durationInWeeks() const;
    double durationInDays() const;
    double durationInHours() const;
    double durationInMinutes() const;
    double durationInSeconds() const;

    bool isEqualToPeriod(const TPTimePeriod& period) const;
    bool isInside(const TPTimePeriod& period) const;
    bool contains(const TPTimePeriod& period) const;
    // Touching ends do not overlap, but they intersect.
    bool overlapsWith(const TPTimePeriod& period) const;
    bool intersects(const TPTimePeriod& period) const;
    TPPeriodRelation relationToPeriod(const TPTimePeriod& period) const;
    // Seconds between the two periods, 0 when they meet or overlap.
    double gapBetween(const TPTimePeriod& period) const;
    bool containsDate(ns::Date date, std::uint64_t interval) const;

    void shiftEarlierWithSize(std::uint64_t size, std::int64_t amount = 1);
    void shiftLaterWithSize(std::uint64_t size, std::int64_t amount = 1);
    void lengthenWithAnchorDate(std::uint64_t anchor, std::uint64_t size, std::int64_t amount = 1);
    void shortenWithAnchorDate(std::uint64_t anchor, std::uint64_t size, std::int64_t amount = 1);

private:
    OptionalDate startDate_;
    OptionalDate endDate_;
};

}  // namespace ql
