#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "storage/datetime/TPTimePeriodChain.h"
#include "storage/datetime/TPTimePeriodCollection.h"
#include "storage/datetime/UTError.h"
#include "tests/storage/datetime/DateTestSupport.h"

using namespace ql;

namespace {

class SpecialPeriod : public TPTimePeriod {
    QL_OBJECT(SpecialPeriod, TPTimePeriod)
public:
    using TPTimePeriod::TPTimePeriod;
};

class TPTimePeriodGroupTest : public datetest::FixedDateSettings {
protected:
    ns::Date h(double hours) const { return base.addingTimeInterval(hours * 3600); }
    std::shared_ptr<TPTimePeriod> period(double from, double to) const {
        return TPTimePeriod::timePeriodWithStartDate(h(from), h(to));
    }
    std::shared_ptr<TPTimePeriodChain> threeHourChain() const {
        auto chain = TPTimePeriodChain::chain();
        for (int i = 0; i < 3; ++i) chain->addTimePeriod(period(0, 1));
        return chain;
    }
    static void expectContiguous(const TPTimePeriodChain& chain) {
        for (std::int64_t i = 1; i < chain.count(); ++i)
            EXPECT_EQ(chain.periods()[i]->StartDate(), chain.periods()[i - 1]->EndDate()) << i;
        if (chain.count() == 0) return;
        EXPECT_EQ(chain.StartDate(), chain.First()->StartDate());
        EXPECT_EQ(chain.EndDate(), chain.Last()->EndDate());
    }
    // The first line of every report is the error record; the call stack follows.
    static std::vector<std::string> reports(const ns::Log::Capture& capture) {
        std::vector<std::string> records;
        for (const std::string& line : capture.lines())
            if (line.find("com.Dunsel.dateUtil") != std::string::npos) records.push_back(line);
        return records;
    }
    ns::Date base = at(2026, 3, 11);
};

}  // namespace

TEST_F(TPTimePeriodGroupTest, ErrorRecordsCarryTheirCodesAndTexts) {
    std::vector<std::shared_ptr<TPTimePeriod>> two{period(0, 1), period(1, 2)};
    ns::Error insert = UTError::insertOutOfBoundsError(5, &two);
    EXPECT_EQ(insert.domain(), "com.Dunsel.dateUtil");
    EXPECT_EQ(insert.code(), 0);
    EXPECT_EQ(insert.localizedFailureReason(),
              "Attempted to insert TPTimePeriod at index 5 but the group is of size [0...2].");
    EXPECT_EQ(insert.localizedDescription(), "Operation was unsuccessful.");
    EXPECT_EQ(insert.userInfo()[ns::LocalizedRecoverySuggestionErrorKey].asString(),
              "Please try an index within the bounds or the group.");
    ns::Error remove = UTError::removeOutOfBoundsError(-1, nullptr);
    EXPECT_EQ(remove.code(), 1);
    EXPECT_EQ(remove.localizedFailureReason(),
              "Attempted to remove TPTimePeriod at index -1 but the group is of size [0...0].");
    EXPECT_EQ(remove.userInfo()[ns::LocalizedRecoverySuggestionErrorKey].asString(),
              "Please try an index within the bounds of the group.");
    SpecialPeriod special(h(0), h(1));
    ns::Error badType = UTError::badTypeError(&special, TPTimePeriod::classObject());
    EXPECT_EQ(badType.code(), 2);
    EXPECT_EQ(badType.localizedFailureReason(),
              "Attempted to insert object of class SpecialPeriod when expecting object of class TPTimePeriod.");
    EXPECT_EQ(badType.userInfo()[ns::LocalizedRecoverySuggestionErrorKey].asString(),
              "Please try again by inserting a TPTimePeriod object.");

    ns::Log::Capture capture;
    UTError::printErrorWithCallStack(badType);
    std::vector<std::string> lines = capture.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], badType.description());
    EXPECT_TRUE(lines[1].starts_with("\n\n ")) << lines[1];
}

TEST_F(TPTimePeriodGroupTest, CollectionKeepsItsSpanAndRefusesMisuse) {
    auto collection = TPTimePeriodCollection::collection();
    ns::Log::Capture capture;
    collection->insertTimePeriod(period(0, 1), 0);  // an empty collection takes no insertion
    EXPECT_EQ(collection->count(), 0);

    auto first = period(2, 4);
    collection->addTimePeriod(first);
    collection->addTimePeriod(std::make_shared<SpecialPeriod>(h(1), h(3)));  // add takes subclasses
    collection->addTimePeriod(period(3, 6));
    EXPECT_EQ(collection->count(), 3);
    EXPECT_EQ(collection->objectAtIndexedSubscript(0), first);  // the caller's own object
    EXPECT_EQ(collection->StartDate(), h(1));
    EXPECT_EQ(collection->EndDate(), h(6));
    EXPECT_DOUBLE_EQ(collection->durationInHours(), 5);
    EXPECT_DOUBLE_EQ(collection->durationInMinutes(), 300);
    EXPECT_DOUBLE_EQ(collection->durationInDays(), 0);

    collection->insertTimePeriod(period(-2, 0), 3);  // index equal to the count
    collection->insertTimePeriod(period(-2, 0), -1);
    collection->insertTimePeriod(std::make_shared<SpecialPeriod>(h(0), h(1)), 1);
    collection->removeTimePeriodAtIndex(3);
    EXPECT_EQ(collection->count(), 3);
    std::vector<std::string> records = reports(capture);
    ASSERT_EQ(records.size(), 5u);
    EXPECT_NE(records[0].find("Code=0"), std::string::npos);
    EXPECT_NE(records[0].find("at index 0 but the group is of size [0...0]."), std::string::npos);
    EXPECT_NE(records[1].find("at index 3 but the group is of size [0...3]."), std::string::npos);
    EXPECT_NE(records[2].find("Code=0"), std::string::npos);
    EXPECT_NE(records[3].find("Code=2"), std::string::npos);
    EXPECT_NE(records[3].find("class SpecialPeriod when expecting object of class TPTimePeriod"), std::string::npos);
    EXPECT_NE(records[4].find("Code=1"), std::string::npos);

    collection->insertTimePeriod(period(-2, 0), 1);
    EXPECT_EQ(collection->StartDate(), h(-2));
    EXPECT_EQ(collection->periods()[1]->StartDate(), h(-2));

    // setObject neither checks nor refreshes.
    collection->setObject(period(-10, 20), 0);
    EXPECT_EQ(collection->StartDate(), h(-2));
    EXPECT_THROW(collection->objectAtIndexedSubscript(4), ns::Exception);
    EXPECT_THROW(collection->setObject(nullptr, 0), ns::Exception);

    collection->shiftLaterWithSize(TPStepHour, 10);
    EXPECT_EQ(collection->StartDate(), h(0));
    EXPECT_EQ(collection->EndDate(), h(30));

    while (collection->count() > 0) collection->removeTimePeriodAtIndex(0);
    EXPECT_FALSE(collection->StartDate().has_value());
    EXPECT_FALSE(collection->EndDate().has_value());
    EXPECT_EQ(collection->durationInSeconds(), 0);
}

TEST_F(TPTimePeriodGroupTest, CollectionSortsStablyAndAnswersQueries) {
    auto a = period(0, 5), b = period(1, 3), c = period(2, 7), d = period(4, 6), e = period(1, 6);
    auto collection = TPTimePeriodCollection::collection();
    for (const auto& p : {a, b, c, d, e}) collection->addTimePeriod(p);
    auto order = [&] {
        std::string names;
        for (const auto& p : collection->periods())
            names += p == a ? 'a' : p == b ? 'b' : p == c ? 'c' : p == d ? 'd' : 'e';
        return names;
    };
    collection->sortByStartAscending();
    EXPECT_EQ(order(), "abecd");
    collection->sortByStartDescending();
    EXPECT_EQ(order(), "dcbea");
    collection->sortByEndAscending();
    EXPECT_EQ(order(), "badec");
    collection->sortByEndDescending();
    EXPECT_EQ(order(), "cdeab");
    // a, c and e last five hours, b and d two: equal lengths keep their order.
    collection->sortByDurationAscending();
    EXPECT_EQ(order(), "dbcea");
    collection->sortByDurationDescending();
    EXPECT_EQ(order(), "ceadb");

    auto inside = collection->periodsInside(period(0, 6));
    EXPECT_EQ(inside->count(), 4);  // all but c
    EXPECT_EQ(inside->periods()[0], e);
    auto atSix = collection->periodsIntersectedByDate(h(6));  // ends exactly then count
    EXPECT_EQ(atSix->count(), 3);
    auto touching = collection->periodsIntersectedByPeriod(period(6, 8));
    EXPECT_EQ(touching->count(), 3);  // c, e and d touch or cross 6:00
    auto overlapped = collection->periodsOverlappedByPeriod(period(6, 8));
    ASSERT_EQ(overlapped->count(), 1);
    EXPECT_EQ(overlapped->periods()[0], c);
    EXPECT_EQ(overlapped->StartDate(), h(2));

    ns::Log::Capture capture;
    EXPECT_EQ(collection->periodsInside(nullptr)->count(), 0);
    EXPECT_EQ(reports(capture).size(), 1u);
}

TEST_F(TPTimePeriodGroupTest, CollectionEquality) {
    auto one = period(0, 2), two = period(3, 4);
    auto forwards = TPTimePeriodCollection::collection();
    forwards->addTimePeriod(one);
    forwards->addTimePeriod(two);
    auto backwards = TPTimePeriodCollection::collection();
    backwards->addTimePeriod(two->copyPeriod());
    backwards->addTimePeriod(one->copyPeriod());
    EXPECT_FALSE(forwards->isEqualToCollection(backwards, true));
    EXPECT_TRUE(forwards->isEqualToCollection(backwards, false));
    EXPECT_TRUE(forwards->isEqualToCollection(forwards->copyCollection(), true));
    EXPECT_NE(forwards->copyCollection()->periods()[0], one);

    auto twice = TPTimePeriodCollection::collection();
    twice->addTimePeriod(one);
    twice->addTimePeriod(one);
    auto withInner = TPTimePeriodCollection::collection();
    withInner->addTimePeriod(one);
    withInner->addTimePeriod(period(0.5, 1));
    EXPECT_TRUE(twice->hasSameCharacteristicsAs(*withInner));
    EXPECT_FALSE(twice->isEqualToCollection(withInner, false));
    EXPECT_FALSE(withInner->isEqualToCollection(twice, false));

    ns::Log::Capture capture;
    EXPECT_FALSE(forwards->isEqualToCollection(nullptr, false));
    ASSERT_EQ(reports(capture).size(), 1u);
    EXPECT_NE(reports(capture)[0].find("Code=2"), std::string::npos);
    EXPECT_TRUE(TPTimePeriodCollection::collection()->hasSameCharacteristicsAs(*TPTimePeriodCollection::collection()));
}

TEST_F(TPTimePeriodGroupTest, ChainAddsWholeSecondMembersEndToEnd) {
    auto chain = TPTimePeriodChain::chain();
    auto given = period(0, 1);
    chain->addTimePeriod(given);
    EXPECT_EQ(chain->First(), given);  // the first period is kept itself

    auto odd = TPTimePeriod::timePeriodWithStartDate(h(5), h(5).addingTimeInterval(90.7));
    chain->addTimePeriod(odd);
    ASSERT_EQ(chain->count(), 2);
    EXPECT_NE(chain->Last(), odd);
    EXPECT_EQ(chain->Last()->StartDate(), h(1));
    EXPECT_DOUBLE_EQ(chain->Last()->durationInSeconds(), 90);
    EXPECT_EQ(chain->EndDate(), h(1).addingTimeInterval(90));
    expectContiguous(*chain);

    ns::Log::Capture capture;
    chain->addTimePeriod(std::make_shared<SpecialPeriod>(h(0), h(1)));
    chain->insertTimePeriod(std::make_shared<SpecialPeriod>(h(0), h(1)), 1);
    chain->insertTimePeriod(period(0, 1), 2);
    chain->removeTimePeriodAtIndex(2);
    EXPECT_EQ(chain->count(), 2);
    std::vector<std::string> records = reports(capture);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_NE(records[0].find("Code=2"), std::string::npos);
    EXPECT_NE(records[0].find("class SpecialPeriod when expecting object of class TPTimePeriod"), std::string::npos);
    EXPECT_NE(records[1].find("Code=2"), std::string::npos);
    EXPECT_NE(records[2].find("Code=0"), std::string::npos);
    EXPECT_NE(records[3].find("Code=1"), std::string::npos);
    EXPECT_EQ(chain->EndDate(), h(1).addingTimeInterval(90));
}

TEST_F(TPTimePeriodGroupTest, ChainInsertAndRemoveKeepContiguity) {
    auto chain = threeHourChain();
    EXPECT_EQ(chain->StartDate(), h(0));
    EXPECT_EQ(chain->EndDate(), h(3));

    // Inside the chain: the later members move on, the start stays.
    chain->insertTimePeriod(period(0, 0.5), 1);
    ASSERT_EQ(chain->count(), 4);
    EXPECT_EQ(chain->periods()[1]->StartDate(), h(1));
    EXPECT_EQ(chain->periods()[1]->EndDate(), h(1.5));
    EXPECT_EQ(chain->StartDate(), h(0));
    EXPECT_EQ(chain->EndDate(), h(3.5));
    expectContiguous(*chain);

    // At 0: the chain starts earlier, and the new member is First.
    chain->insertTimePeriod(period(0, 2), 0);
    EXPECT_EQ(chain->StartDate(), h(-2));
    EXPECT_EQ(chain->First()->EndDate(), h(0));
    EXPECT_EQ(chain->EndDate(), h(3.5));
    expectContiguous(*chain);

    auto three = threeHourChain();
    three->removeTimePeriodAtIndex(1);
    ASSERT_EQ(three->count(), 2);
    EXPECT_EQ(three->periods()[1]->StartDate(), h(1));
    EXPECT_EQ(three->EndDate(), h(2));
    expectContiguous(*three);

    auto earliest = threeHourChain();
    earliest->removeEarliestTimePeriod();
    EXPECT_EQ(earliest->count(), 2);
    EXPECT_EQ(earliest->StartDate(), h(0));
    EXPECT_EQ(earliest->EndDate(), h(2));
    expectContiguous(*earliest);

    auto latest = threeHourChain();
    latest->removeLatestTimePeriod();
    EXPECT_EQ(latest->EndDate(), h(2));
    latest->removeLatestTimePeriod();
    latest->removeLatestTimePeriod();
    latest->removeLatestTimePeriod();  // an empty chain stays as it is
    EXPECT_EQ(latest->count(), 0);
    EXPECT_FALSE(latest->StartDate() || latest->EndDate() || latest->First() || latest->Last());

    auto single = TPTimePeriodChain::chain();
    single->addTimePeriod(period(0, 1));
    single->removeTimePeriodAtIndex(0);
    EXPECT_FALSE(single->StartDate() || single->EndDate() || single->First() || single->Last());
    single->removeEarliestTimePeriod();
    EXPECT_EQ(single->count(), 0);

    // Inserting at 0 into an empty chain acts as add.
    auto empty = TPTimePeriodChain::chain();
    auto starter = period(4, 5);
    empty->insertTimePeriod(starter, 0);
    EXPECT_EQ(empty->count(), 1);
    EXPECT_EQ(empty->First(), starter);
    EXPECT_EQ(empty->StartDate(), h(4));

    auto shifted = threeHourChain();
    shifted->shiftLaterWithSize(TPStepDay, 2);
    EXPECT_EQ(shifted->StartDate(), at(2026, 3, 13));
    EXPECT_DOUBLE_EQ(shifted->durationInHours(), 3);
    shifted->shiftEarlierWithSize(TPStepDay);
    EXPECT_EQ(shifted->StartDate(), at(2026, 3, 12));
}

TEST_F(TPTimePeriodGroupTest, ChainEquality) {
    auto chainOf = [&](double firstHours, double secondHours) {
        auto chain = TPTimePeriodChain::chain();
        chain->addTimePeriod(period(0, firstHours));
        chain->addTimePeriod(period(0, secondHours));
        return chain;
    };
    auto a = chainOf(1, 2);
    EXPECT_TRUE(a->isEqualToChain(chainOf(1, 2)));
    // Same count, start and end, but the members differ.
    auto b = chainOf(2, 1);
    EXPECT_TRUE(a->hasSameCharacteristicsAs(*b));
    EXPECT_FALSE(a->isEqualToChain(b));
    EXPECT_FALSE(a->isEqualToChain(chainOf(1, 3)));

    ns::Log::Capture capture;
    EXPECT_FALSE(a->isEqualToChain(nullptr));
    EXPECT_EQ(reports(capture).size(), 1u);
}
