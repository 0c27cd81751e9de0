#pragma once
// TPTimePeriodChain: a contiguous list of periods — each member starts exactly where the one before it
// ends. Inserting or removing a member moves the later members so that no gap or overlap arises. Members
// are made by the chain (whole seconds long), except the first period added to an empty chain.

#include <memory>

#include "storage/datetime/TPTimePeriodGroup.h"

namespace ql {

class TPTimePeriodChain : public TPTimePeriodGroup {
    QL_OBJECT(TPTimePeriodChain, TPTimePeriodGroup)
public:
    static std::shared_ptr<TPTimePeriodChain> chain();

    // Each accepts exactly TPTimePeriod; misuse is logged as a UTError record and changes nothing.
    void addTimePeriod(const std::shared_ptr<TPTimePeriod>& period);
    // At 0 the chain starts earlier by the period's length (on an empty chain it acts as add); within the
    // chain the members from the index on move later by that length.
    void insertTimePeriod(const std::shared_ptr<TPTimePeriod>& period, std::int64_t index);
    // The members after the index move earlier by the removed member's length.
    void removeTimePeriodAtIndex(std::int64_t index);
    void removeLatestTimePeriod();
    // Keeps the chain's start: every member moves earlier by the first member's length.
    void removeEarliestTimePeriod();

    bool isEqualToChain(const std::shared_ptr<TPTimePeriodChain>& chain) const;

    const std::shared_ptr<TPTimePeriod>& First() const { return first_; }
    const std::shared_ptr<TPTimePeriod>& Last() const { return last_; }

    void updateVariables() override;
    void setVariablesNil();

private:
    // Refreshes the derived members and dates, or clears them when the chain is empty.
    void refresh();
    bool refusesWrongClass(const std::shared_ptr<TPTimePeriod>& period) const;

    std::shared_ptr<TPTimePeriod> first_;
    std::shared_ptr<TPTimePeriod> last_;
};

}  // namespace ql
