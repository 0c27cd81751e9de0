#include "platform/ui/LayoutGuide.h"

#include <algorithm>

#include "platform/ui/Application.h"
#include "platform/ui/LayoutConstraint.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ql::ui {

namespace {

// A bar counts while it is shown in the same window as the view.
bool shows(const View& bar, const View& view) {
    return bar.window() && bar.window() == view.window() && !bar.isHidden() && bar.alpha() > 0;
}

}  // namespace

LayoutGuide::LayoutGuide(ViewController& controller, Edge edge) : controller_(&controller), edge_(edge) {
    setHidden(true);
    setUserInteractionEnabled(false);
    setTranslatesAutoresizingMaskIntoConstraints(false);
}

double LayoutGuide::length() const {
    const auto& view = controller_->viewIfLoaded();
    if (!view || !view->window()) return 0;
    const double height = view->bounds().size.height;
    double reach = 0;
    if (edge_ == Edge::Top) {
        const cg::Rect status = Application::sharedApplication().statusBarFrame();
        if (!cg::rectIsEmpty(status)) {
            const cg::Rect inView = view->convertRectFromView(view->window()->convertRectFromWindow(status, nullptr), nullptr);
            reach = std::max(reach, cg::maxY(inView));
        }
        if (auto* navigation = controller_->navigationController(); navigation && !navigation->isNavigationBarHidden()) {
            const auto& bar = navigation->navigationBar();
            if (shows(*bar, *view)) reach = std::max(reach, cg::maxY(bar->convertRectToView(bar->bounds(), view.get())));
        }
    } else if (auto* tabs = controller_->tabBarController()) {
        const auto& bar = tabs->tabBar();
        if (shows(*bar, *view)) reach = std::max(reach, height - cg::minY(bar->convertRectToView(bar->bounds(), view.get())));
    }
    return std::clamp(reach, 0.0, height);
}

void LayoutGuide::update() {
    const auto& view = controller_->viewIfLoaded();
    if (!view || superview() != view.get()) return;
    const auto self = sharedFromThis();
    if (!height_) {
        const LayoutAttribute edge = edge_ == Edge::Top ? LayoutAttribute::Top : LayoutAttribute::Bottom;
        view->addConstraints({
            std::make_shared<LayoutConstraint>(self, edge, LayoutRelation::Equal, view, edge, 1, 0),
            std::make_shared<LayoutConstraint>(self, LayoutAttribute::Left, LayoutRelation::Equal, view,
                                               LayoutAttribute::Left, 1, 0),
            std::make_shared<LayoutConstraint>(self, LayoutAttribute::Width, LayoutRelation::Equal, nullptr,
                                               LayoutAttribute::NotAnAttribute, 1, 0),
        });
        height_ = std::make_shared<LayoutConstraint>(self, LayoutAttribute::Height, LayoutRelation::Equal, nullptr,
                                                     LayoutAttribute::NotAnAttribute, 1, length());
        view->addConstraint(height_);
        return;
    }
    height_->setConstant(length());
}

}  // namespace ql::ui
