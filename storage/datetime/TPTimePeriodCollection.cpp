#include "storage/datetime/TPTimePeriodCollection.h"

#include <algorithm>

#include "storage/datetime/DateUtil.h"
#include "storage/datetime/UTError.h"

namespace ql {

namespace {

using Period = std::shared_ptr<TPTimePeriod>;

// A strict weak order on an optional date: missing first.
bool dateBefore(const std::optional<ns::Date>& a, const std::optional<ns::Date>& b) {
    if (!a || !b) return !a && b;
    return DateUtil::isEarlierThan(*a, *b);
}

double lengthOf(const Period& period) { return period ? period->durationInSeconds() : 0; }
std::optional<ns::Date> startOf(const Period& period) { return period ? period->StartDate() : std::nullopt; }
std::optional<ns::Date> endOf(const Period& period) { return period ? period->EndDate() : std::nullopt; }

}  // namespace

std::shared_ptr<TPTimePeriodCollection> TPTimePeriodCollection::collection() {
    return std::make_shared<TPTimePeriodCollection>();
}

void TPTimePeriodCollection::addTimePeriod(const Period& period) {
    if (!period) return UTError::throwBadTypeException(nullptr, TPTimePeriod::classObject());
    periods_.push_back(period);
    updateVariables();
}

void TPTimePeriodCollection::insertTimePeriod(const Period& period, std::int64_t index) {
    if (!period || !period->isMemberOfClass(TPTimePeriod::classObject()))
        return UTError::throwBadTypeException(period.get(), TPTimePeriod::classObject());
    if (index < 0 || index >= count()) return UTError::throwInsertOutOfBoundsException(index, &periods_);
    periods_.insert(periods_.begin() + index, period);
    updateVariables();
}

void TPTimePeriodCollection::removeTimePeriodAtIndex(std::int64_t index) {
    if (index < 0 || index >= count()) return UTError::throwRemoveOutOfBoundsException(index, &periods_);
    periods_.erase(periods_.begin() + index);
    updateVariables();
}

// Stable sorts with strict orders, so members that compare alike keep their order.
void TPTimePeriodCollection::sortByStartAscending() {
    std::stable_sort(periods_.begin(), periods_.end(),
                     [](const Period& a, const Period& b) { return dateBefore(startOf(a), startOf(b)); });
}
void TPTimePeriodCollection::sortByStartDescending() {
    std::stable_sort(periods_.begin(), periods_.end(),
                     [](const Period& a, const Period& b) { return dateBefore(startOf(b), startOf(a)); });
}
void TPTimePeriodCollection::sortByEndAscending() {
    std::stable_sort(periods_.begin(), periods_.end(),
                     [](const Period& a, const Period& b) { return dateBefore(endOf(a), endOf(b)); });
}
void TPTimePeriodCollection::sortByEndDescending() {
    std::stable_sort(periods_.begin(), periods_.end(),
                     [](const Period& a, const Period& b) { return dateBefore(endOf(b), endOf(a)); });
}
void TPTimePeriodCollection::sortByDurationAscending() {
    std::stable_sort(periods_.begin(), periods_.end(),
                     [](const Period& a, const Period& b) { return lengthOf(a) < lengthOf(b); });
}
void TPTimePeriodCollection::sortByDurationDescending() {
    std::stable_sort(periods_.begin(), periods_.end(),
                     [](const Period& a, const Period& b) { return lengthOf(a) > lengthOf(b); });
}

template <class Passes>
std::shared_ptr<TPTimePeriodCollection> TPTimePeriodCollection::membersWhere(Passes passes) const {
    auto found = collection();
    for (const Period& member : periods_)
        if (member && passes(*member)) found->addTimePeriod(member);
    return found;
}

std::shared_ptr<TPTimePeriodCollection> TPTimePeriodCollection::periodsInside(const Period& period) const {
    if (!period) {
        UTError::throwBadTypeException(nullptr, TPTimePeriod::classObject());
        return collection();
    }
    return membersWhere([&](const TPTimePeriod& member) { return member.isInside(*period); });
}

std::shared_ptr<TPTimePeriodCollection> TPTimePeriodCollection::periodsIntersectedByDate(ns::Date date) const {
    return membersWhere([&](const TPTimePeriod& member) { return member.containsDate(date, TPBoundaryInclusive); });
}

std::shared_ptr<TPTimePeriodCollection> TPTimePeriodCollection::periodsIntersectedByPeriod(
    const Period& period) const {
    if (!period) {
        UTError::throwBadTypeException(nullptr, TPTimePeriod::classObject());
        return collection();
    }
    return membersWhere([&](const TPTimePeriod& member) { return member.intersects(*period); });
}

std::shared_ptr<TPTimePeriodCollection> TPTimePeriodCollection::periodsOverlappedByPeriod(
    const Period& period) const {
    if (!period) return collection();
    return membersWhere([&](const TPTimePeriod& member) { return member.overlapsWith(*period); });
}

bool TPTimePeriodCollection::isEqualToCollection(const std::shared_ptr<TPTimePeriodCollection>& collection,
                                                 bool considerOrder) const {
    if (!collection || !collection->isMemberOfClass(classObject())) {
        UTError::throwBadTypeException(collection.get(), classObject());
        return false;
    }
    if (!hasSameCharacteristicsAs(*collection)) return false;
    auto samePeriod = [](const Period& a, const Period& b) { return a && b && a->isEqualToPeriod(*b); };
    if (considerOrder) {
        for (std::size_t i = 0; i < periods_.size(); ++i)
            if (!samePeriod(periods_[i], collection->periods_[i])) return false;
        return true;
    }
    // Each member of ours takes one equal member of theirs, so repeated periods must be matched as often.
    auto unmatched = collection->copyCollection();
    for (const Period& member : periods_) {
        auto& candidates = unmatched->periods_;
        auto match = std::find_if(candidates.begin(), candidates.end(),
                                  [&](const Period& candidate) { return samePeriod(member, candidate); });
        if (match == candidates.end()) return false;
        unmatched->removeTimePeriodAtIndex(match - candidates.begin());
    }
    return true;
}

std::shared_ptr<TPTimePeriodCollection> TPTimePeriodCollection::copyCollection() const {
    auto copied = collection();
    for (const Period& member : periods_)
        if (member) copied->addTimePeriod(member->copyPeriod());
    return copied;
}

void TPTimePeriodCollection::updateVariables() {
    if (periods_.empty()) return setVariablesNil();
    ns::Date start = ns::Date::distantFuture();
    ns::Date end = ns::Date::distantPast();
    for (const Period& member : periods_) {
        if (!member) continue;
        if (member->StartDate() && DateUtil::isEarlierThan(*member->StartDate(), start)) start = *member->StartDate();
        if (member->EndDate() && DateUtil::isLaterThan(*member->EndDate(), end)) end = *member->EndDate();
    }
    startDate_ = start;
    endDate_ = end;
}

void TPTimePeriodCollection::setVariablesNil() {
    startDate_.reset();
    endDate_.reset();
}

}  // namespace ql
