#pragma once
// TPTimePeriodGroup: the shared base of period collections and chains — an ordered list of periods with a
// derived overall start and end, durations of that span, and shifting of every member at once.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Object.h"
#include "storage/datetime/TPTimePeriod.h"

namespace ql {

class TPTimePeriodGroup : public ns::Object {
    QL_OBJECT(TPTimePeriodGroup, ns::Object)
public:
    using Periods = std::vector<std::shared_ptr<TPTimePeriod>>;

    TPTimePeriodGroup() = default;

    // Direct access to the list: no class check and no refresh of the derived dates. An index beyond the
    // list raises NSRangeException and storing no period NSInvalidArgumentException, as the platform's list
    // does; storing at the count appends.
    const std::shared_ptr<TPTimePeriod>& objectAtIndexedSubscript(std::uint64_t index) const;
    void setObject(std::shared_ptr<TPTimePeriod> period, std::uint64_t index);

    const Periods& periods() const { return periods_; }
    std::int64_t count() const { return static_cast<std::int64_t>(periods_.size()); }

    const std::optional<ns::Date>& StartDate() const { return startDate_; }
    const std::optional<ns::Date>& EndDate() const { return endDate_; }

    // Of the span from StartDate to EndDate; 0 when either is missing.
    double durationInYears() const;
    double durationInWeeks() const;
    double durationInDays() const;
    double durationInHours() const;
    double durationInMinutes() const;
    double durationInSeconds() const;

    // Same member count, and the same overall start and end (or neither on both sides).
    bool hasSameCharacteristicsAs(const TPTimePeriodGroup& group) const;

    void shiftEarlierWithSize(std::uint64_t size, std::int64_t amount = 1);
    void shiftLaterWithSize(std::uint64_t size, std::int64_t amount = 1);

    // Recomputes the derived dates; the base keeps none.
    virtual void updateVariables() {}

protected:
    TPTimePeriod overallSpan() const { return TPTimePeriod(startDate_, endDate_); }

    Periods periods_;
    std::optional<ns::Date> startDate_;
    std::optional<ns::Date> endDate_;
};

}  // namespace ql
