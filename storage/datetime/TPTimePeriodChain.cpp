#include "storage/datetime/TPTimePeriodChain.h"

#include <cmath>

#include "storage/datetime/UTError.h"

namespace ql {

namespace {

using Period = std::shared_ptr<TPTimePeriod>;

// Chain members are whole seconds long: the length truncated toward zero.
std::int64_t wholeSeconds(const TPTimePeriod& period) {
    return static_cast<std::int64_t>(std::trunc(period.durationInSeconds()));
}

// A missing date reads as the instant 0, as in the period's own comparisons.
ns::Date dateOrEpoch(const std::optional<ns::Date>& date) { return date.value_or(ns::Date()); }

}  // namespace

std::shared_ptr<TPTimePeriodChain> TPTimePeriodChain::chain() { return std::make_shared<TPTimePeriodChain>(); }

bool TPTimePeriodChain::refusesWrongClass(const Period& period) const {
    if (period && period->isMemberOfClass(TPTimePeriod::classObject())) return false;
    UTError::throwBadTypeException(period.get(), TPTimePeriod::classObject());
    return true;
}

void TPTimePeriodChain::addTimePeriod(const Period& period) {
    if (refusesWrongClass(period)) return;
    if (periods_.empty()) {
        periods_.push_back(period);
    } else {
        periods_.push_back(
            TPTimePeriod::timePeriodWithSize(TPStepSecond, wholeSeconds(*period), dateOrEpoch(last_->EndDate())));
    }
    refresh();
}

void TPTimePeriodChain::insertTimePeriod(const Period& period, std::int64_t index) {
    if (refusesWrongClass(period)) return;
    // Index 0 of an empty chain has no member to line up with; the period simply starts the chain.
    if (index == 0 && periods_.empty()) return addTimePeriod(period);
    if (index < 0 || index >= count()) return UTError::throwInsertOutOfBoundsException(index, &periods_);
    std::int64_t length = wholeSeconds(*period);
    if (index == 0) {
        periods_.insert(periods_.begin(), TPTimePeriod::timePeriodWithSizeEndingAt(TPStepSecond, length,
                                                                                   dateOrEpoch(first_->StartDate())));
    } else {
        for (auto member = periods_.begin() + index; member != periods_.end(); ++member)
            (*member)->shiftLaterWithSize(TPStepSecond, length);
        ns::Date start = dateOrEpoch(periods_[static_cast<std::size_t>(index - 1)]->EndDate());
        periods_.insert(periods_.begin() + index, TPTimePeriod::timePeriodWithSize(TPStepSecond, length, start));
    }
    refresh();
}

void TPTimePeriodChain::removeTimePeriodAtIndex(std::int64_t index) {
    if (index < 0 || index >= count()) return UTError::throwRemoveOutOfBoundsException(index, &periods_);
    std::int64_t length = wholeSeconds(*periods_[static_cast<std::size_t>(index)]);
    for (auto member = periods_.begin() + index + 1; member != periods_.end(); ++member)
        (*member)->shiftEarlierWithSize(TPStepSecond, length);
    periods_.erase(periods_.begin() + index);
    refresh();
}

void TPTimePeriodChain::removeLatestTimePeriod() {
    if (periods_.empty()) return;
    periods_.pop_back();
    refresh();
}

void TPTimePeriodChain::removeEarliestTimePeriod() {
    if (periods_.empty()) return;
    std::int64_t length = wholeSeconds(*periods_.front());
    for (const Period& member : periods_) member->shiftEarlierWithSize(TPStepSecond, length);
    periods_.erase(periods_.begin());
    refresh();
}

bool TPTimePeriodChain::isEqualToChain(const std::shared_ptr<TPTimePeriodChain>& chain) const {
    if (!chain || !chain->isMemberOfClass(classObject())) {
        UTError::throwBadTypeException(chain.get(), classObject());
        return false;
    }
    if (!hasSameCharacteristicsAs(*chain)) return false;
    for (std::size_t i = 0; i < periods_.size(); ++i) {
        const Period& mine = periods_[i];
        const Period& theirs = chain->periods_[i];
        if (!mine || !theirs || !mine->isEqualToPeriod(*theirs)) return false;
    }
    return true;
}

void TPTimePeriodChain::refresh() {
    if (periods_.empty()) setVariablesNil();
    else updateVariables();
}

void TPTimePeriodChain::updateVariables() {
    if (periods_.empty() || !periods_.front() || !periods_.back()) return setVariablesNil();
    first_ = periods_.front();
    last_ = periods_.back();
    startDate_ = first_->StartDate();
    endDate_ = last_->EndDate();
}

void TPTimePeriodChain::setVariablesNil() {
    first_.reset();
    last_.reset();
    startDate_.reset();
    endDate_.reset();
}

}  // namespace ql
