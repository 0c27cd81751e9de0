#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "tests/ui/refresh/RefreshTestSupport.h"
#include "ui/refresh/RefreshGeometry.h"
#include "ui/refresh/RefreshGifHeader.h"
#include "ui/refresh/RefreshNormalHeader.h"

using namespace ql;

namespace {

// "HH:mm" of a date in the current calendar, worked out from its components.
std::string clockText(const ns::DateComponents& c) {
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld", static_cast<long long>(c.hour), static_cast<long long>(c.minute));
    return text;
}

ns::DateComponents componentsOf(ns::Date date) {
    return ns::Calendar::currentCalendar().components(
        ns::CalendarUnitYear | ns::CalendarUnitMonth | ns::CalendarUnitDay | ns::CalendarUnitHour | ns::CalendarUnitMinute,
        date);
}

class RefreshHeaderTest : public test::RefreshTest {
protected:
    RefreshHeaderTest() {
        header = RefreshNormalHeader::headerWithRefreshingBlock([this] { ++refreshes; });
        setHeader(*table, header);
        settle();
    }

    std::shared_ptr<RefreshNormalHeader> header;
    int refreshes = 0;
};

}  // namespace

TEST_F(RefreshHeaderTest, SitsAboveTheContentWithItsIdleTitles) {
    EXPECT_EQ(header->frame(), (cg::Rect{0, -54, 320, 54}));
    EXPECT_EQ(header->state(), RefreshStateIdle);
    EXPECT_EQ(header->stateLabel()->text(), "下拉可以刷新");
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "最后更新：无记录");
    EXPECT_EQ(header->stateLabel()->frame(), (cg::Rect{0, 0, 320, 27}));
    EXPECT_EQ(header->lastUpdatedTimeLabel()->frame(), (cg::Rect{0, 27, 320, 27}));
    EXPECT_EQ(header->arrowView()->center(), (cg::Point{60, 27}));
    EXPECT_EQ(header->loadingView()->center(), header->arrowView()->center());
    EXPECT_TRUE(table->alwaysBounceVertical());

    header->stateLabel()->setHidden(true);
    header->setNeedsLayout();
    header->layoutIfNeeded();
    EXPECT_EQ(header->arrowView()->center(), (cg::Point{160, 27}));
}

TEST_F(RefreshHeaderTest, PullingPastItsHeightAndLettingGoRefreshes) {
    auto touch = press();
    bool sawPulling = false;
    for (double d = 5; d <= 200; d += 5) {
        moveBy(touch, d);
        const double offset = table->contentOffset().y;
        // Exactly at the threshold the header stays idle.
        EXPECT_EQ(header->state(), offset < -54 ? RefreshStatePulling : RefreshStateIdle) << "offset " << offset;
        if (offset < 0) {
            EXPECT_DOUBLE_EQ(header->pullingPercent(), -offset / 54);
        }
        sawPulling = sawPulling || header->state() == RefreshStatePulling;
    }
    ASSERT_TRUE(sawPulling);
    EXPECT_EQ(header->stateLabel()->text(), "松开立即刷新");
    EXPECT_EQ(header->arrowView()->transform(), cg::AffineTransform::makeRotation(0.000001 - 3.14159265358979323846));

    lift(touch);
    app.device.advance(0.02);
    EXPECT_EQ(header->state(), RefreshStateRefreshing);
    EXPECT_EQ(header->stateLabel()->text(), "正在刷新数据中...");
    EXPECT_EQ(table->contentInset().top, 54);
    EXPECT_EQ(table->contentOffset().y, -54);
    EXPECT_TRUE(header->loadingView()->isAnimating());
    EXPECT_TRUE(header->arrowView()->isHidden());
    EXPECT_TRUE(header->isRefreshing());
    app.device.advance(0.2);
    EXPECT_EQ(refreshes, 0);
    app.device.advance(0.1);
    EXPECT_EQ(refreshes, 1);

    // Ending gives back the inset over 0.4 s and records the time.
    header->endRefreshing();
    const ns::DateComponents now = componentsOf(ns::Date::now());
    EXPECT_EQ(header->state(), RefreshStateIdle);
    EXPECT_EQ(table->contentInset().top, 0);
    EXPECT_EQ(header->stateLabel()->text(), "下拉可以刷新");
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "最后更新：今天 " + clockText(now));
    ASSERT_TRUE(ns::UserDefaults::standard().dateForKey("RefreshHeaderLastUpdatedTimeKey"));
    app.device.advance(0.39);
    EXPECT_TRUE(header->arrowView()->isHidden());
    app.device.advance(0.02);
    EXPECT_FALSE(header->arrowView()->isHidden());
    EXPECT_FALSE(header->loadingView()->isAnimating());
    EXPECT_DOUBLE_EQ(header->pullingPercent(), 0);
    EXPECT_EQ(table->contentOffset().y, 0);

    // Ending again changes nothing and writes no date.
    ns::UserDefaults::standard().removeObjectForKey("RefreshHeaderLastUpdatedTimeKey");
    header->endRefreshing();
    EXPECT_FALSE(ns::UserDefaults::standard().dateForKey("RefreshHeaderLastUpdatedTimeKey"));
}

TEST_F(RefreshHeaderTest, LettingGoBeforeTheThresholdRefreshesNothing) {
    pull(60);
    EXPECT_GT(table->contentOffset().y, -54);
    EXPECT_EQ(header->state(), RefreshStateIdle);
    app.device.advance(2);
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_EQ(table->contentInset().top, 0);
}

TEST_F(RefreshHeaderTest, BeginRefreshingBeforeTheHeaderIsShownStartsWhenItIsDrawn) {
    auto list = std::make_shared<ui::TableView>(cg::Rect{0, 0, 320, 500});
    auto early = RefreshNormalHeader::headerWithRefreshingBlock([this] { ++refreshes; });
    setHeader(*list, early);
    early->beginRefreshing();
    EXPECT_EQ(early->state(), RefreshStateWillRefresh);
    EXPECT_TRUE(early->isRefreshing());
    app.device.advance(1);
    EXPECT_EQ(refreshes, 0);

    app.rootView().addSubview(list);
    app.device.advance(0.01);
    EXPECT_EQ(early->state(), RefreshStateRefreshing);
    EXPECT_EQ(list->contentInset().top, 54);
    app.device.advance(0.3);
    EXPECT_EQ(refreshes, 1);
}

TEST_F(RefreshHeaderTest, LastUpdatedTextsForTodayAnotherDayAndAnotherYear) {
    const ns::Date now = ns::Date::now();
    const ns::DateComponents today = componentsOf(now);
    EXPECT_EQ(RefreshStateHeader::lastUpdatedText(now), "最后更新：今天 " + clockText(today));

    // Another day of this year: 1 January, or 31 December when today is 1 January.
    ns::DateComponents other;
    other.year = today.year;
    other.month = today.month == 1 && today.day == 1 ? 12 : 1;
    other.day = other.month == 12 ? 31 : 1;
    other.hour = 9;
    other.minute = 5;
    const auto otherDay = ns::Calendar::currentCalendar().dateFromComponents(other);
    ASSERT_TRUE(otherDay);
    char expected[64];
    std::snprintf(expected, sizeof expected, "最后更新：%02lld-%02lld 09:05", static_cast<long long>(other.month),
                  static_cast<long long>(other.day));
    EXPECT_EQ(RefreshStateHeader::lastUpdatedText(*otherDay), expected);

    other.year = today.year - 3;
    const auto otherYear = ns::Calendar::currentCalendar().dateFromComponents(other);
    std::snprintf(expected, sizeof expected, "最后更新：%04lld-%02lld-%02lld 09:05", static_cast<long long>(other.year),
                  static_cast<long long>(other.month), static_cast<long long>(other.day));
    EXPECT_EQ(RefreshStateHeader::lastUpdatedText(*otherYear), expected);

    // A header with its own key reads its own date; a text block takes over.
    ns::UserDefaults::standard().setObject(ns::Value(*otherYear), "BookStoreRefresh");
    header->setLastUpdatedTimeKey("BookStoreRefresh");
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), expected);
    header->setLastUpdatedTimeText([](std::optional<ns::Date> date) { return date ? "有记录" : "无"; });
    header->setLastUpdatedTimeKey("Nothing");
    EXPECT_EQ(header->lastUpdatedTimeLabel()->text(), "无");
}

TEST_F(RefreshHeaderTest, GifHeaderFramesFollowThePull) {
    auto gif = RefreshGifHeader::headerWithRefreshingBlock({});
    std::vector<std::shared_ptr<ui::Image>> idle;
    for (int i = 0; i < 5; ++i) idle.push_back(std::make_shared<ui::Image>(nullptr, 1, ui::ImageOrientation::Up));
    gif->setImages(idle, RefreshStateIdle);
    EXPECT_DOUBLE_EQ(gif->stateDurations().at(RefreshStateIdle), 0.5);
    gif->setPullingPercent(0.5);
    EXPECT_EQ(gif->gifView()->image(), idle[2]);
    gif->setPullingPercent(1.4);
    EXPECT_EQ(gif->gifView()->image(), idle[4]);
    gif->setPullingPercent(std::nan(""));  // the pull of a header of no height
    EXPECT_EQ(gif->gifView()->image(), idle[0]);

    ui::GraphicsBeginImageContextWithOptions({10, 70}, false, 1);
    auto tall = ui::GraphicsGetImageFromCurrentImageContext();
    ui::GraphicsEndImageContext();
    gif->setImages({tall, tall, tall}, RefreshStateRefreshing);
    EXPECT_DOUBLE_EQ(gif->stateDurations().at(RefreshStateRefreshing), 0.3);
    EXPECT_EQ(mm_h(*gif), 70);
    gif->setState(RefreshStateRefreshing);
    EXPECT_TRUE(gif->gifView()->isAnimating());
}

TEST_F(RefreshHeaderTest, AnEmptyListOfGifFramesLeavesTheStateWithoutFrames) {
    auto gif = RefreshGifHeader::headerWithRefreshingBlock({});
    const double height = mm_h(*gif);
    gif->setImages({}, RefreshStateIdle);
    gif->setImages({}, 0.4, RefreshStatePulling);
    EXPECT_EQ(mm_h(*gif), height);
    EXPECT_FALSE(gif->stateDurations().contains(RefreshStateIdle));
    gif->setPullingPercent(0.5);
    EXPECT_FALSE(gif->gifView()->image());
    gif->setState(RefreshStatePulling);
    EXPECT_FALSE(gif->gifView()->isAnimating());

    // Frames given before and then an empty list: the state has none again.
    auto frame = std::make_shared<ui::Image>(nullptr, 1, ui::ImageOrientation::Up);
    gif->setState(RefreshStateIdle);
    gif->setImages({frame, frame}, RefreshStateIdle);
    gif->setPullingPercent(0.2);
    EXPECT_EQ(gif->gifView()->image(), frame);
    gif->setImages({}, RefreshStateIdle);
    EXPECT_FALSE(gif->stateDurations().contains(RefreshStateIdle));
}
