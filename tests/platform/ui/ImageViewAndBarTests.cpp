#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/graphics/BitmapContext.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/GeometryValue.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Nib.h"
#include "platform/ui/ProgressView.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/TabBarItem.h"
#include "platform/ui/Toolbar.h"
#include "tests/support/UIHarness.h"

using namespace ql;
using namespace ql::ui;

namespace {

std::shared_ptr<Image> solid(const cg::Color& color, cg::Size size = {10, 10}) {
    auto context = cg::BitmapContext::createForImage(size, false, 1);
    context->setFillColor(color);
    context->fillRect({{0, 0}, size});
    return Image::imageWithCGImage(context->makeImage(), 1);
}

cg::Image::Pixel shownPixel(const ImageView& view) {
    const auto& contents = view.layer()->contents();
    return contents ? contents->pixel(0, 0) : cg::Image::Pixel{};
}

}  // namespace

TEST(ImageView, PlaysAnimationImagesOnTheClockAndShowsTheHighlightedImage) {
    test::UIHarness harness;
    auto red = solid(cg::Color::rgb(1, 0, 0, 1));
    auto green = solid(cg::Color::rgb(0, 1, 0, 1));
    auto blue = solid(cg::Color::rgb(0, 0, 1, 1));
    auto view = std::make_shared<ImageView>(red, blue);
    EXPECT_FALSE(view->isUserInteractionEnabled());
    harness.root->view()->addSubview(view);
    harness.settle();
    EXPECT_EQ(shownPixel(*view).r, 255);
    view->setHighlighted(true);
    harness.settle();
    EXPECT_EQ(shownPixel(*view).b, 255);
    view->setHighlighted(false);

    // Two frames over one second, twice: the frames change every half second, then the image returns.
    view->setAnimationImages({green, blue});
    view->setAnimationDuration(1);
    view->setAnimationRepeatCount(2);
    view->startAnimating();
    EXPECT_TRUE(view->isAnimating());
    harness.settle();
    EXPECT_EQ(shownPixel(*view).g, 255);
    harness.advance(0.5);
    EXPECT_EQ(shownPixel(*view).b, 255);
    harness.advance(0.5);
    EXPECT_EQ(shownPixel(*view).g, 255);
    harness.advance(1.0);
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(shownPixel(*view).r, 255);
    EXPECT_EQ(view->displayedImage(), red);

    // An animated image plays by itself while the view is shown.
    auto animated = Image::animatedImageWithImages({green, blue}, 0.2);
    view->setImage(animated);
    harness.settle();
    EXPECT_EQ(view->displayedImage(), green);
    harness.advance(0.1);
    EXPECT_EQ(view->displayedImage(), blue);

    // A resizable image is drawn in nine parts at the view's size.
    view->setImage(solid(cg::Color::rgb(1, 0, 0, 1))->resizableImageWithCapInsets({2, 2, 2, 2}, ImageResizingMode::Stretch));
    view->setFrame({0, 0, 40, 20});
    harness.settle();
    ASSERT_TRUE(view->layer()->contents());
    EXPECT_EQ(view->layer()->contents()->width(), 80);  // drawn at the screen's 2×
    EXPECT_EQ(view->sizeThatFits({0, 0}), (cg::Size{10, 10}));
}

TEST(Bars, NavigationBarShowsTheTopItemAndTabBarItsItems) {
    test::UIHarness harness;
    auto bar = std::make_shared<NavigationBar>(cg::Rect{0, 20, 320, 44});
    harness.root->view()->addSubview(bar);
    auto first = std::make_shared<NavigationItem>(std::string("书架"));
    auto second = std::make_shared<NavigationItem>(std::string("详情"));
    bar->pushNavigationItem(first, false);
    bar->pushNavigationItem(second, false);
    auto done = std::make_shared<BarButtonItem>(BarButtonSystemItem::Done, std::weak_ptr<ns::Object>(), Action());
    second->setRightBarButtonItem(done);
    harness.settle();
    // Back button named after the item below, the title in the middle, the right item at the right.
    ASSERT_EQ(bar->leftItemViews().size(), 1u);
    auto back = std::dynamic_pointer_cast<Button>(bar->leftItemViews()[0]);
    ASSERT_TRUE(back);
    EXPECT_NE(back->currentTitle()->find("书架"), std::string::npos);
    auto title = std::dynamic_pointer_cast<Label>(bar->titleItemView());
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(), std::optional<std::string>("详情"));
    EXPECT_NEAR(cg::midX(title->frame()), 160, 0.5);
    ASSERT_EQ(bar->rightItemViews().size(), 1u);
    EXPECT_LE(cg::maxX(bar->rightItemViews()[0]->frame()), 320);
    EXPECT_GT(cg::minX(bar->rightItemViews()[0]->frame()), cg::maxX(title->frame()));
    // Hiding the back button, changing the title: the bar follows its items.
    second->setHidesBackButton(true);
    second->setTitle("评论");
    harness.settle();
    EXPECT_TRUE(bar->leftItemViews().empty());
    EXPECT_EQ(std::dynamic_pointer_cast<Label>(bar->titleItemView())->text(), std::optional<std::string>("评论"));
    // A tap on the back button pops the top item when the delegate lets it.
    second->setHidesBackButton(false);
    harness.settle();
    ASSERT_TRUE(harness.fingers.tap(*bar->leftItemViews()[0]));
    EXPECT_EQ(bar->topItem(), first);
    EXPECT_EQ(bar->sizeThatFits({0, 0}).height, NavigationBar::kHeight);

    // The tab bar: one button per item, the selected one marked, badges kept.
    auto tabs = std::make_shared<TabBar>(cg::Rect{0, 431, 320, 49});
    harness.root->view()->addSubview(tabs);
    auto home = std::make_shared<TabBarItem>(std::string("首页"), nullptr, 0);
    auto store = std::make_shared<TabBarItem>(std::string("书城"), nullptr, 1);
    tabs->setItems({home, store});
    tabs->setSelectedItem(store);
    store->setBadgeValue("3");
    harness.settle();
    ASSERT_EQ(tabs->itemViews().size(), 2u);
    EXPECT_EQ(tabs->itemViews()[0]->frame(), (cg::Rect{0, 0, 160, 49}));
    EXPECT_FALSE(tabs->itemViews()[0]->isSelected());
    EXPECT_TRUE(tabs->itemViews()[1]->isSelected());
    struct Listener : ns::Object, TabBarDelegate {
        std::vector<std::int64_t> tags;
        void tabBarDidSelectItem(TabBar&, TabBarItem& item) override { tags.push_back(item.tag()); }
    };
    auto listener = std::make_shared<Listener>();
    tabs->setDelegate(listener);
    ASSERT_TRUE(harness.fingers.tap(*tabs->itemViews()[0]));
    EXPECT_EQ(listener->tags, (std::vector<std::int64_t>{0}));
    EXPECT_EQ(tabs->selectedItem(), home);
}

TEST(Views, SpinnerProgressNibsAndBoxedGeometry) {
    test::UIHarness harness;
    auto spinner = std::make_shared<ActivityIndicatorView>(ActivityIndicatorViewStyle::WhiteLarge);
    EXPECT_EQ(spinner->frame().size, (cg::Size{37, 37}));
    EXPECT_TRUE(spinner->isHidden());
    spinner->startAnimating();
    EXPECT_FALSE(spinner->isHidden());
    spinner->stopAnimating();
    EXPECT_TRUE(spinner->isHidden());
    spinner->setHidesWhenStopped(false);
    EXPECT_FALSE(spinner->isHidden());

    auto progress = std::make_shared<ProgressView>(ProgressViewStyle::Default);
    progress->setProgress(1.5f);
    EXPECT_EQ(progress->progress(), 1.0f);
    progress->setProgress(-1);
    EXPECT_EQ(progress->progress(), 0.0f);

    // Every object a nib builder makes wakes once all exist; the top-level objects come back.
    std::vector<std::string> woken;
    struct Waking : View {
        std::vector<std::string>* log;
        std::string name;
        void awakeFromNib() override { log->push_back(name + (superview() ? " in place" : " alone")); }
    };
    Nib::registerNib("Cell", [&](Nib::Loading& loading) {
        auto cell = loading.make<Waking>();
        cell->log = &woken;
        cell->name = "cell";
        auto badge = loading.make<Waking>();
        badge->log = &woken;
        badge->name = "badge";
        cell->addSubview(badge);
        return std::vector<std::shared_ptr<ns::Object>>{cell};
    });
    auto objects = Nib::nibWithNibName("Cell")->instantiateWithOwner(nullptr);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(woken, (std::vector<std::string>{"cell alone", "badge in place"}));
    EXPECT_FALSE(Nib::nibWithNibName("Nothing"));

    // Boxed geometry keeps its kind.
    const ns::Value boxed = GeometryValue::valueWithCGRect({0, 264, 320, 216});
    EXPECT_TRUE(boxed.isKindOfClass(*ns::Class::named("NSValue")));
    EXPECT_EQ(boxed.description(), "NSRect: {{0, 264}, {320, 216}}");
    EXPECT_EQ(boxed.asObject<GeometryValue>()->objCType(), "{CGRect={CGPoint=dd}{CGSize=dd}}");
    EXPECT_FALSE(GeometryValue::CGSizeValue(boxed));
    EXPECT_EQ(GeometryValue::UIEdgeInsetsValue(GeometryValue::valueWithUIEdgeInsets({1, 2, 3, 4})),
              (std::optional<cg::EdgeInsets>{cg::EdgeInsets{1, 2, 3, 4}}));
    EXPECT_TRUE(boxed == GeometryValue::valueWithCGRect({0, 264, 320, 216}));
}

TEST(Toolbar, ItemsTooWideForTheBarNarrowTheOnesThatMayChangeWidth) {
    auto bar = std::make_shared<Toolbar>(cg::Rect{0, 0, 320, Toolbar::kHeight});
    auto title = std::make_shared<View>(cg::Rect{0, 0, 300, Toolbar::kHeight});
    title->setAutoresizingMask(ViewAutoresizingFlexibleWidth);
    auto badge = std::make_shared<View>(cg::Rect{0, 0, 20, 20});
    auto done = std::make_shared<BarButtonItem>(BarButtonSystemItem::Done, std::weak_ptr<ns::Object>(), Action());
    bar->setItems({std::make_shared<BarButtonItem>(title), std::make_shared<BarButtonItem>(badge),
                   std::make_shared<BarButtonItem>(BarButtonSystemItem::FlexibleSpace, std::weak_ptr<ns::Object>(),
                                                   Action()),
                   done},
                  false);
    bar->layoutIfNeeded();
    const auto views = bar->itemViews();
    ASSERT_EQ(views.size(), 3u);
    const double doneWidth = views[2]->frame().size.width;
    EXPECT_GT(doneWidth, 0);
    // The title gives up just what the bar lacks; the badge and the button keep their widths.
    EXPECT_DOUBLE_EQ(views[0]->frame().size.width, 320 - 2 * Toolbar::kEdgeMargin - 2 * Toolbar::kItemSpacing - 20 - doneWidth);
    EXPECT_DOUBLE_EQ(views[1]->frame().size.width, 20);
    EXPECT_DOUBLE_EQ(cg::maxX(views[2]->frame()), 320 - Toolbar::kEdgeMargin);

    // A bar that grows gives the title its room back through its autoresizing.
    bar->setFrame({0, 0, 375, Toolbar::kHeight});
    bar->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(cg::maxX(bar->itemViews()[2]->frame()), 375 - Toolbar::kEdgeMargin);
    EXPECT_DOUBLE_EQ(bar->itemViews()[0]->frame().size.width, 375 - 2 * Toolbar::kEdgeMargin - 2 * Toolbar::kItemSpacing - 20 - doneWidth);
}
