#pragma once
// TPTimePeriodCollection: a free list of periods — members may overlap or leave gaps — that can be sorted
// and searched for members inside, intersecting or overlapping a period or a date. It holds the caller's
// own period objects.

#include <memory>

#include "storage/datetime/TPTimePeriodGroup.h"

namespace ql {

class TPTimePeriodCollection : public TPTimePeriodGroup {
    QL_OBJECT(TPTimePeriodCollection, TPTimePeriodGroup)
public:
    static std::shared_ptr<TPTimePeriodCollection> collection();

    // Misuse (a missing period, a subclass where exactly TPTimePeriod is wanted, a bad index) is logged as
    // a UTError record and leaves the collection unchanged.
    void addTimePeriod(const std::shared_ptr<TPTimePeriod>& period);
    void insertTimePeriod(const std::shared_ptr<TPTimePeriod>& period, std::int64_t index);
    void removeTimePeriodAtIndex(std::int64_t index);

    // Stable sorts; a member without the date compared comes first.
    void sortByStartAscending();
    void sortByStartDescending();
    void sortByEndAscending();
    void sortByEndDescending();
    void sortByDurationAscending();
    void sortByDurationDescending();

    // New collections holding the same member objects that pass, in list order.
    std::shared_ptr<TPTimePeriodCollection> periodsInside(const std::shared_ptr<TPTimePeriod>& period) const;
    std::shared_ptr<TPTimePeriodCollection> periodsIntersectedByDate(ns::Date date) const;
    std::shared_ptr<TPTimePeriodCollection> periodsIntersectedByPeriod(
        const std::shared_ptr<TPTimePeriod>& period) const;
    std::shared_ptr<TPTimePeriodCollection> periodsOverlappedByPeriod(
        const std::shared_ptr<TPTimePeriod>& period) const;

    bool isEqualToCollection(const std::shared_ptr<TPTimePeriodCollection>& collection, bool considerOrder) const;

    // A new collection of copies of the members, in order.
    std::shared_ptr<TPTimePeriodCollection> copyCollection() const;
    std::shared_ptr<ns::Object> copy() const override { return copyCollection(); }

    void updateVariables() override;
    void setVariablesNil();

private:
    template <class Passes>
    std::shared_ptr<TPTimePeriodCollection> membersWhere(Passes passes) const;
};

}  // namespace ql
