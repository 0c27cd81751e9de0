#include "ui/NavigationBarAwesome.h"

#include "platform/ui/Image.h"
#include "platform/ui/Screen.h"

namespace ql {

namespace {

const char kOverlayKey = 0;

}  // namespace

std::shared_ptr<ui::View> overlay(const ui::NavigationBar& bar) {
    return bar.associatedValue(&kOverlayKey).asObject<ui::View>();
}

void setOverlay(ui::NavigationBar& bar, std::shared_ptr<ui::View> overlay) {
    bar.setAssociatedValue(&kOverlayKey, ns::Value(std::move(overlay)));
}

void nb_setBackgroundColor(ui::NavigationBar& bar, std::shared_ptr<ui::Color> color) {
    auto view = overlay(bar);
    if (!view) {
        bar.setBackgroundImage(std::make_shared<ui::Image>(nullptr, 1, ui::ImageOrientation::Up),
                               ui::BarMetrics::Default);
        view = std::make_shared<ui::View>(cg::Rect{0, -20, ui::Screen::mainScreen().bounds().size.width,
                                                   bar.bounds().size.height + 20});
        setOverlay(bar, view);
        view->setUserInteractionEnabled(false);
        view->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
        bar.insertSubview(view, 0);
    }
    view->setBackgroundColor(std::move(color));
}

void nb_setTranslationY(ui::NavigationBar& bar, double offset) {
    bar.setTransform(cg::AffineTransform::makeTranslation(0, offset));
}

void nb_setElementsAlpha(ui::NavigationBar& bar, double alpha) {
    for (const auto& view : bar.leftItemViews()) view->setAlpha(alpha);
    for (const auto& view : bar.rightItemViews()) view->setAlpha(alpha);
    if (auto title = bar.titleItemView()) title->setAlpha(alpha);
}

void nb_reset(ui::NavigationBar& bar) {
    bar.setBackgroundImage(nullptr, ui::BarMetrics::Default);
    if (auto view = overlay(bar)) view->removeFromSuperview();
    setOverlay(bar, nullptr);
}

}  // namespace ql
