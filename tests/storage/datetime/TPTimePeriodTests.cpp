#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include <map>
#include <memory>

#include "storage/datetime/TPTimePeriod.h"
#include "tests/storage/datetime/DateTestSupport.h"

using namespace ql;

namespace {

class TPTimePeriodTest : public datetest::FixedDateSettings {
protected:
    // Hours after 2026-03-11 00:00 in Berlin.
    ns::Date h(double hours) const { return base.addingTimeInterval(hours * 3600); }
    std::shared_ptr<TPTimePeriod> period(double from, double to) const {
        return TPTimePeriod::timePeriodWithStartDate(h(from), h(to));
    }
    ns::Date base = at(2026, 3, 11);
};

}  // namespace

TEST_F(TPTimePeriodTest, CreationBySizeAndStep) {
    auto month = TPTimePeriod::timePeriodWithSize(TPStepMonth, 1, at(2024, 1, 31));
    EXPECT_EQ(month->StartDate(), at(2024, 1, 31));
    EXPECT_EQ(month->EndDate(), at(2024, 2, 29));
    auto week = TPTimePeriod::timePeriodWithSize(TPStepWeek, at(2026, 3, 11));
    EXPECT_EQ(week->EndDate(), at(2026, 3, 18));
    auto years = TPTimePeriod::timePeriodWithSizeEndingAt(TPStepYear, 2, at(2026, 3, 11));
    EXPECT_EQ(years->StartDate(), at(2024, 3, 11));
    EXPECT_EQ(years->EndDate(), at(2026, 3, 11));
    auto minute = TPTimePeriod::timePeriodWithSizeEndingAt(TPStepMinute, at(2026, 3, 11));
    EXPECT_DOUBLE_EQ(minute->durationInSeconds(), 60);
    EXPECT_EQ(TPTimePeriod::dateWithAddedTime(99, 5, base), base);
    EXPECT_EQ(TPTimePeriod::dateWithSubtractedTime(99, 5, base), base);
    EXPECT_EQ(TPTimePeriod::dateWithAddedTime(TPStepHour, 5, base), h(5));
    EXPECT_EQ(TPTimePeriod::dateWithSubtractedTime(TPStepSecond, 36, base), h(-0.01));
    EXPECT_EQ(TPTimePeriod::dateWithAddedTime(TPStepDay, 2, base), at(2026, 3, 13));

    auto all = TPTimePeriod::timePeriodWithAllTime();
    EXPECT_EQ(all->StartDate(), ns::Date::distantPast());
    EXPECT_EQ(all->EndDate(), ns::Date::distantFuture());
    EXPECT_TRUE(all->contains(*period(0, 1)));
}

TEST_F(TPTimePeriodTest, DurationsAndMissingDates) {
    auto hour = period(0, 1);
    EXPECT_DOUBLE_EQ(hour->durationInMinutes(), 60);
    EXPECT_DOUBLE_EQ(hour->durationInHours(), 1);
    EXPECT_DOUBLE_EQ(hour->durationInSeconds(), 3600);
    EXPECT_DOUBLE_EQ(hour->durationInDays(), 0);
    auto longer = TPTimePeriod::timePeriodWithStartDate(at(2024, 2, 1), at(2026, 3, 11, 1));
    EXPECT_DOUBLE_EQ(longer->durationInYears(), 2);
    EXPECT_DOUBLE_EQ(longer->durationInWeeks(), 109);
    EXPECT_DOUBLE_EQ(longer->durationInDays(), 769);

    auto reversed = period(5, 1);
    for (double duration : {reversed->durationInYears(), reversed->durationInWeeks(), reversed->durationInDays(),
                            reversed->durationInHours(), reversed->durationInMinutes(),
                            reversed->durationInSeconds()})
        EXPECT_EQ(duration, 0);

    TPTimePeriod open(std::nullopt, h(3));
    EXPECT_FALSE(open.hasStartDate());
    EXPECT_TRUE(open.hasEndDate());
    EXPECT_EQ(open.durationInSeconds(), 0);
    EXPECT_EQ(open.durationInYears(), 0);
    EXPECT_EQ(open.relationToPeriod(*hour), TPRelationNone);
    EXPECT_FALSE(open.isEqualToPeriod(open));
    EXPECT_FALSE(open.isMoment());
    // A missing first date fails the test; a missing second date counts as 1970.
    EXPECT_FALSE(open.containsDate(h(1), TPBoundaryInclusive));
    TPTimePeriod before1970(ns::Date::fromTimeIntervalSince1970(-10), h(3));
    EXPECT_TRUE(before1970.contains(open));
    EXPECT_FALSE(open.contains(before1970));

    // A copy keeps a missing date missing rather than turning it into 1970.
    auto copied = open.copyPeriod();
    EXPECT_FALSE(copied->hasStartDate());
    EXPECT_EQ(copied->EndDate(), h(3));
    EXPECT_NE(copied.get(), &open);
    auto full = hour->copyPeriod();
    EXPECT_TRUE(full->isEqualToPeriod(*hour));
    full->shiftLaterWithSize(TPStepHour);
    EXPECT_EQ(hour->StartDate(), h(0));
}

TEST_F(TPTimePeriodTest, AllRelationsIncludingTouchingOnes) {
    auto r = period(10, 20);
    const std::map<TPPeriodRelation, std::shared_ptr<TPTimePeriod>> cases = {
        {TPRelationWhollyAfter, period(2, 8)},
        {TPRelationStartsAtItsEnd, period(5, 10)},
        {TPRelationStartsInside, period(5, 15)},
        {TPRelationInsideSameStart, period(10, 25)},
        {TPRelationEnclosesSameStart, period(10, 15)},
        {TPRelationEncloses, period(12, 18)},
        {TPRelationEnclosesSameEnd, period(15, 20)},
        {TPRelationSame, period(10, 20)},
        {TPRelationInside, period(5, 25)},
        {TPRelationInsideSameEnd, period(5, 20)},
        {TPRelationEndsInside, period(15, 25)},
        {TPRelationEndsAtItsStart, period(20, 25)},
        {TPRelationWhollyBefore, period(22, 30)},
    };
    ASSERT_EQ(cases.size(), 13u);
    for (const auto& [relation, other] : cases) EXPECT_EQ(r->relationToPeriod(*other), relation) << relation;

    auto moment = period(12, 12);
    EXPECT_TRUE(moment->isMoment());
    EXPECT_EQ(moment->relationToPeriod(*r), TPRelationNone);
    EXPECT_EQ(r->relationToPeriod(*moment), TPRelationNone);
    EXPECT_EQ(r->relationToPeriod(*period(20, 10)), TPRelationNone);

    auto same = period(10, 20);
    EXPECT_TRUE(r->isEqualToPeriod(*same));
    EXPECT_TRUE(r->isInside(*same));
    EXPECT_TRUE(r->contains(*same));
    EXPECT_TRUE(r->isInside(*period(5, 20)));
    EXPECT_FALSE(r->isInside(*period(12, 20)));
    EXPECT_TRUE(r->contains(*period(12, 20)));
    EXPECT_FALSE(r->contains(*period(12, 21)));
}

TEST_F(TPTimePeriodTest, OverlapVersusIntersectAndGaps) {
    auto r = period(10, 20);
    auto touchingAfter = period(20, 25);
    auto touchingBefore = period(5, 10);
    EXPECT_FALSE(r->overlapsWith(*touchingAfter));
    EXPECT_FALSE(r->overlapsWith(*touchingBefore));
    EXPECT_TRUE(r->intersects(*touchingAfter));
    EXPECT_TRUE(r->intersects(*touchingBefore));
    EXPECT_EQ(r->gapBetween(*touchingAfter), 0);
    EXPECT_EQ(r->relationToPeriod(*touchingAfter), TPRelationEndsAtItsStart);

    for (auto other : {period(5, 15), period(15, 25), period(12, 18), period(5, 25)}) {
        EXPECT_TRUE(r->overlapsWith(*other));
        EXPECT_TRUE(r->intersects(*other));
        EXPECT_EQ(r->gapBetween(*other), 0);
    }
    auto apartAfter = period(23, 30);
    auto apartBefore = period(1, 8.5);
    EXPECT_FALSE(r->overlapsWith(*apartAfter));
    EXPECT_FALSE(r->intersects(*apartAfter));
    EXPECT_DOUBLE_EQ(r->gapBetween(*apartAfter), 3 * 3600);
    EXPECT_DOUBLE_EQ(r->gapBetween(*apartBefore), 1.5 * 3600);
    EXPECT_DOUBLE_EQ(apartBefore->gapBetween(*r), 1.5 * 3600);

    EXPECT_FALSE(r->containsDate(h(10), TPBoundaryExclusive));
    EXPECT_TRUE(r->containsDate(h(10), TPBoundaryInclusive));
    EXPECT_TRUE(r->containsDate(h(20), TPBoundaryInclusive));
    EXPECT_TRUE(r->containsDate(h(15), TPBoundaryExclusive));
    EXPECT_FALSE(r->containsDate(h(21), TPBoundaryInclusive));
    EXPECT_FALSE(r->containsDate(h(15), 7));
}

TEST_F(TPTimePeriodTest, ShiftingAndResizingAboutEachAnchor) {
    auto p = TPTimePeriod::timePeriodWithStartDate(at(2026, 1, 31), at(2026, 3, 11));
    p->shiftLaterWithSize(TPStepMonth);
    EXPECT_EQ(p->StartDate(), at(2026, 2, 28));
    EXPECT_EQ(p->EndDate(), at(2026, 4, 11));
    p->shiftEarlierWithSize(TPStepDay, 10);
    EXPECT_EQ(p->StartDate(), at(2026, 2, 18));
    EXPECT_EQ(p->EndDate(), at(2026, 4, 1));

    auto days = [&] { return TPTimePeriod::timePeriodWithStartDate(at(2026, 3, 10), at(2026, 3, 20)); };
    auto fixStart = days();
    fixStart->lengthenWithAnchorDate(TPResizeFixStart, TPStepDay, 3);
    EXPECT_EQ(fixStart->StartDate(), at(2026, 3, 10));
    EXPECT_EQ(fixStart->EndDate(), at(2026, 3, 23));
    fixStart->shortenWithAnchorDate(TPResizeFixStart, TPStepDay, 5);
    EXPECT_EQ(fixStart->EndDate(), at(2026, 3, 18));

    auto fixEnd = days();
    fixEnd->lengthenWithAnchorDate(TPResizeFixEnd, TPStepDay, 3);
    EXPECT_EQ(fixEnd->StartDate(), at(2026, 3, 7));
    EXPECT_EQ(fixEnd->EndDate(), at(2026, 3, 20));
    fixEnd->shortenWithAnchorDate(TPResizeFixEnd, TPStepWeek);
    EXPECT_EQ(fixEnd->StartDate(), at(2026, 3, 14));

    auto middle = days();
    middle->lengthenWithAnchorDate(TPResizeFixMiddle, TPStepDay, 3);  // half of 3 is 1
    EXPECT_EQ(middle->StartDate(), at(2026, 3, 9));
    EXPECT_EQ(middle->EndDate(), at(2026, 3, 21));
    middle->lengthenWithAnchorDate(TPResizeFixMiddle, TPStepDay, 1);  // half of 1 is nothing
    EXPECT_EQ(middle->StartDate(), at(2026, 3, 9));
    EXPECT_EQ(middle->EndDate(), at(2026, 3, 21));
    middle->shortenWithAnchorDate(TPResizeFixMiddle, TPStepDay, 4);
    EXPECT_EQ(middle->StartDate(), at(2026, 3, 11));
    EXPECT_EQ(middle->EndDate(), at(2026, 3, 19));

    auto untouched = days();
    untouched->lengthenWithAnchorDate(9, TPStepDay, 3);
    untouched->shortenWithAnchorDate(9, TPStepDay, 3);
    EXPECT_TRUE(untouched->isEqualToPeriod(*days()));

    TPTimePeriod open(std::nullopt, at(2026, 3, 20));
    open.shiftLaterWithSize(TPStepDay);
    open.lengthenWithAnchorDate(TPResizeFixEnd, TPStepDay);
    EXPECT_FALSE(open.hasStartDate());
    EXPECT_EQ(open.EndDate(), at(2026, 3, 21));
}

TEST_F(TPTimePeriodTest, AmountsBeyondReachLeaveTheDates) {
    constexpr std::int64_t smallest = std::numeric_limits<std::int64_t>::min();
    const ns::Date start = at(2026, 3, 10), end = at(2026, 3, 20);
    for (std::uint64_t step : {TPStepSecond, TPStepMinute, TPStepHour, TPStepDay, TPStepWeek, TPStepMonth, TPStepYear}) {
        SCOPED_TRACE(step);
        EXPECT_EQ(TPTimePeriod::dateWithSubtractedTime(step, smallest, start), start);
        auto p = TPTimePeriod::timePeriodWithStartDate(start, end);
        p->shiftEarlierWithSize(step, smallest);
        p->shortenWithAnchorDate(TPResizeFixStart, step, smallest);
        p->lengthenWithAnchorDate(TPResizeFixEnd, step, smallest);
        p->lengthenWithAnchorDate(TPResizeFixMiddle, step, smallest);
        EXPECT_EQ(p->StartDate(), start);
        EXPECT_EQ(p->EndDate(), end);
    }
}
