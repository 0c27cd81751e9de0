#include "platform/ui/NavigationBar.h"

#include <algorithm>

#include "platform/foundation/Exception.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/BarItemWatch.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TextTypes.h"

namespace ql::ui {

namespace {

constexpr double kEdgeMargin = 8;
constexpr double kItemSpacing = 8;

}  // namespace

NavigationBar::NavigationBar(const cg::Rect& frame) : View(frame) {
    setOpaque(false);
    setContentMode(ContentMode::Redraw);
}

NavigationBar::~NavigationBar() {
    for (auto& item : items_) item->setChangeHandler(nullptr);
}

std::shared_ptr<NavigationItem> NavigationBar::topItem() const { return items_.empty() ? nullptr : items_.back(); }

std::shared_ptr<NavigationItem> NavigationBar::backItem() const {
    return items_.size() < 2 ? nullptr : items_[items_.size() - 2];
}

void NavigationBar::watch(const std::shared_ptr<NavigationItem>& item) {
    watchBarItem(*this, *item, &NavigationBar::itemsChanged);
}

void NavigationBar::itemsChanged() {
    needsItemViews_ = true;
    setNeedsLayout();
}

void NavigationBar::setItems(std::vector<std::shared_ptr<NavigationItem>> items, bool) {
    for (auto& item : items_) {
        if (std::find(items.begin(), items.end(), item) == items.end()) item->setChangeHandler(nullptr);
    }
    items_ = std::move(items);
    for (auto& item : items_) watch(item);
    itemsChanged();
}

void NavigationBar::pushNavigationItem(const std::shared_ptr<NavigationItem>& item, bool) {
    if (!item) return;
    if (std::find(items_.begin(), items_.end(), item) != items_.end()) {
        throw ns::Exception(ns::InternalInconsistencyException, "Cannot push a navigation item that is already in the bar");
    }
    auto keep = sharedFromThis();
    if (auto d = delegate(); d && !d->navigationBarShouldPushItem(*this, *item)) return;
    items_.push_back(item);
    watch(item);
    itemsChanged();
    if (auto d = delegate()) d->navigationBarDidPushItem(*this, *item);
}

std::shared_ptr<NavigationItem> NavigationBar::popNavigationItemAnimated(bool) {
    auto top = topItem();
    if (!top) return nullptr;
    auto keep = sharedFromThis();
    if (auto d = delegate(); d && !d->navigationBarShouldPopItem(*this, *top)) return nullptr;
    if (topItem() != top) return top;  // the delegate popped it itself
    items_.pop_back();
    top->setChangeHandler(nullptr);
    itemsChanged();
    if (auto d = delegate()) d->navigationBarDidPopItem(*this, *top);
    return top;
}

void NavigationBar::backTapped(ns::Object*) {
    auto top = topItem();
    if (!top) return;
    auto keep = sharedFromThis();
    if (auto d = delegate(); d && !d->navigationBarShouldPopItem(*this, *top)) return;
    if (topItem() != top) return;
    items_.pop_back();
    top->setChangeHandler(nullptr);
    itemsChanged();
    if (auto d = delegate()) d->navigationBarDidPopItem(*this, *top);
}

void NavigationBar::setBarStyle(BarStyle style) {
    background_.style = style;
    itemsChanged();
    setNeedsDisplay();
}

void NavigationBar::setTranslucent(bool translucent) {
    background_.translucent = translucent;
    setNeedsDisplay();
}

void NavigationBar::setBarTintColor(std::shared_ptr<Color> color) {
    background_.tintColor = std::move(color);
    setNeedsDisplay();
}

void NavigationBar::setTitleTextAttributes(ns::Dictionary attributes) {
    titleTextAttributes_ = std::move(attributes);
    itemsChanged();
}

std::shared_ptr<Image> NavigationBar::backgroundImageForBarMetrics(BarMetrics metrics) const {
    return backgrounds_.imageFor(metrics);
}

void NavigationBar::setBackgroundImage(std::shared_ptr<Image> image, BarMetrics metrics) {
    backgrounds_.setImage(std::move(image), metrics);
    setNeedsDisplay();
}

void NavigationBar::setShadowImage(std::shared_ptr<Image> image) {
    shadowImage_ = std::move(image);
    setNeedsDisplay();
}

void NavigationBar::tintColorDidChange() { itemsChanged(); }

cg::Size NavigationBar::sizeThatFits(cg::Size size) const {
    return {size.width > 0 ? size.width : bounds().size.width, kHeight};
}

void NavigationBar::rebuildItemViews() {
    for (auto& v : leftViews_) v->removeFromSuperview();
    for (auto& v : rightViews_) v->removeFromSuperview();
    if (titleView_) titleView_->removeFromSuperview();
    leftViews_.clear();
    rightViews_.clear();
    titleView_.reset();
    auto top = topItem();
    if (!top) return;
    auto tint = tintColor();

    auto back = backItem();
    const bool showsBack = back && !top->hidesBackButton() && (top->leftBarButtonItems().empty() || top->leftItemsSupplementBackButton());
    if (showsBack) {
        std::optional<std::string> title = back->backBarButtonItem() ? back->backBarButtonItem()->title() : back->title();
        auto button = Button::buttonWithType(ButtonType::System);
        button->setTintColor(tint);
        button->setTitle("‹ " + title.value_or("Back"), ControlStateNormal);
        button->titleLabel()->setFont(Font::systemFontOfSize(17));
        button->setAccessibilityLabel(title.value_or("Back"));
        button->addTarget(std::static_pointer_cast<NavigationBar>(shared_from_this()), Action(&NavigationBar::backTapped),
                          ControlEventTouchUpInside);
        button->sizeToFit();
        leftViews_.push_back(button);
    }
    for (const auto& item : top->leftBarButtonItems()) {
        if (auto v = item->makeBarView(tint)) leftViews_.push_back(v);
    }
    for (const auto& item : top->rightBarButtonItems()) {
        if (auto v = item->makeBarView(tint)) rightViews_.push_back(v);
    }
    if (top->titleView()) {
        titleView_ = top->titleView();
    } else {
        auto label = std::make_shared<Label>();
        const ns::Dictionary& attributes = titleTextAttributes_;
        auto font = attributes[FontAttributeName].asObject<Font>();
        label->setFont(font ? font : Font::boldSystemFontOfSize(17));
        auto textColor = attributes[ForegroundColorAttributeName].asObject<Color>();
        if (!textColor) textColor = barStyle() == BarStyle::Default ? Color::blackColor() : Color::whiteColor();
        label->setTextColor(textColor);
        label->setTextAlignment(TextAlignment::Center);
        label->setText(top->title());
        titleView_ = label;
    }
    for (auto& v : leftViews_) addSubview(v);
    for (auto& v : rightViews_) addSubview(v);
    addSubview(titleView_);
}

void NavigationBar::layoutSubviews() {
    if (needsItemViews_) {
        needsItemViews_ = false;
        rebuildItemViews();
    }
    const cg::Rect b = bounds();
    double left = kEdgeMargin;
    for (auto& v : leftViews_) {
        const cg::Size s = v->frame().size;
        v->setFrame({left, (b.size.height - s.height) / 2, s.width, s.height});
        left += s.width + kItemSpacing;
    }
    double right = b.size.width - kEdgeMargin;
    for (auto& v : rightViews_) {
        const cg::Size s = v->frame().size;
        right -= s.width;
        v->setFrame({right, (b.size.height - s.height) / 2, s.width, s.height});
        right -= kItemSpacing;
    }
    if (!titleView_) return;
    // The title is centred in the bar as far as the items beside it allow.
    cg::Size s = titleView_->frame().size;
    if (auto* label = dynamic_cast<Label*>(titleView_.get())) s = label->sizeThatFits({0, 0});
    const double room = std::max(0.0, right - left);
    s.width = std::min(s.width, room);
    s.height = std::min(s.height, b.size.height);
    double x = (b.size.width - s.width) / 2;
    x = std::clamp(x, left, std::max(left, right - s.width));
    titleView_->setFrame({x, (b.size.height - s.height) / 2, s.width, s.height});
}

void NavigationBar::drawRect(const cg::Rect&) {
    cg::Context* context = GraphicsGetCurrentContext();
    if (!context) return;
    const auto image = backgroundImageForBarMetrics(BarMetrics::Default);
    background_.draw(*context, bounds(), image.get(), shadowImage_.get(), BarBackground::Edge::Bottom);
}

}  // namespace ql::ui
