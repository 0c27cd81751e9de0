#include "storage/datetime/TPTimePeriodGroup.h"

#include <string>

#include "platform/foundation/Exception.h"

namespace ql {

namespace {

[[noreturn]] void raiseBeyondBounds(std::uint64_t index, std::size_t count) {
    throw ns::Exception(ns::RangeException, "index " + std::to_string(index) + " beyond bounds [0 .. " +
                                                std::to_string(count) + "]");
}

}  // namespace

const std::shared_ptr<TPTimePeriod>& TPTimePeriodGroup::objectAtIndexedSubscript(std::uint64_t index) const {
    if (index >= periods_.size()) raiseBeyondBounds(index, periods_.size());
    return periods_[index];
}

void TPTimePeriodGroup::setObject(std::shared_ptr<TPTimePeriod> period, std::uint64_t index) {
    if (!period) throw ns::Exception(ns::InvalidArgumentException, "object cannot be nil");
    if (index > periods_.size()) raiseBeyondBounds(index, periods_.size());
    if (index == periods_.size()) periods_.push_back(std::move(period));
    else periods_[index] = std::move(period);
}

double TPTimePeriodGroup::durationInYears() const { return overallSpan().durationInYears(); }
double TPTimePeriodGroup::durationInWeeks() const { return overallSpan().durationInWeeks(); }
double TPTimePeriodGroup::durationInDays() const { return overallSpan().durationInDays(); }
double TPTimePeriodGroup::durationInHours() const { return overallSpan().durationInHours(); }
double TPTimePeriodGroup::durationInMinutes() const { return overallSpan().durationInMinutes(); }
double TPTimePeriodGroup::durationInSeconds() const { return overallSpan().durationInSeconds(); }

bool TPTimePeriodGroup::hasSameCharacteristicsAs(const TPTimePeriodGroup& group) const {
    if (count() != group.count()) return false;
    bool neitherHere = !startDate_ && !endDate_;
    bool neitherThere = !group.startDate_ && !group.endDate_;
    if (neitherHere && neitherThere) return true;
    return startDate_ && endDate_ && startDate_ == group.startDate_ && endDate_ == group.endDate_;
}

void TPTimePeriodGroup::shiftEarlierWithSize(std::uint64_t size, std::int64_t amount) {
    for (const auto& period : periods_)
        if (period) period->shiftEarlierWithSize(size, amount);
    updateVariables();
}

void TPTimePeriodGroup::shiftLaterWithSize(std::uint64_t size, std::int64_t amount) {
    for (const auto& period : periods_)
        if (period) period->shiftLaterWithSize(size, amount);
    updateVariables();
}

}  // namespace ql
