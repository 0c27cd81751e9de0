// The picker's chrome: the title button that opens the album drop-down, the cancel button, the drop-down
// itself over a darkened picker, and the bottom toolbar with the preview and finish buttons.

#include <cmath>
#include <string>

#include "images/picker/PKImagePickerController.h"
#include "images/picker/PKPickerFrame.h"
#include "images/picker/PKUtil.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Window.h"

namespace ql {

namespace {

std::shared_ptr<ui::Label> clearLabel(std::shared_ptr<ui::Color> color, double fontSize) {
    auto label = std::make_shared<ui::Label>();
    label->setBackgroundColor(ui::Color::clearColor());
    label->setTextColor(std::move(color));
    label->setFont(ui::Font::systemFontOfSize(fontSize));
    return label;
}

cg::Size sizeOf(const std::shared_ptr<ui::Image>& image) { return image ? image->size() : cg::Size{}; }

}  // namespace

// ---- Title and cancel button ----

const std::shared_ptr<ui::Button>& PKImagePickerController::titleButton() {
    if (!titleButton_) {
        titleButton_ = std::make_shared<ui::Button>(cg::Rect{0, 0, 120, 30});
        titleButton_->setBackgroundImage(nullptr, ui::ControlStateNormal);
        titleButton_->setBackgroundImage(PKUtil::stretchImage(ui::Image::imageNamed("navigationbar_title_highlighted"),
                                                              {5, 2, 5, 2}, ui::ImageResizingMode::Stretch),
                                         ui::ControlStateHighlighted);
        titleButton_->addTarget(self(), ui::Action(&PKImagePickerController::assetsGroupDidSelected),
                                ui::ControlEventTouchUpInside);
        titleButton_->setAccessibilityLabel("相册");
    }
    return titleButton_;
}

const std::shared_ptr<ui::Label>& PKImagePickerController::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = clearLabel(ui::Color::blackColor(), 16);
        titleButton()->addSubview(titleLabel_);
    }
    return titleLabel_;
}

const std::shared_ptr<ui::Button>& PKImagePickerController::arrowImageView() {
    if (!arrowImageView_) {
        auto down = ui::Image::imageNamed("navigationbar_arrow_down");
        arrowImageView_ = std::make_shared<ui::Button>(cg::Rect{{0, 0}, sizeOf(down)});
        arrowImageView_->setBackgroundImage(down, ui::ControlStateNormal);
        arrowImageView_->setBackgroundImage(ui::Image::imageNamed("navigationbar_arrow_up"), ui::ControlStateSelected);
        titleButton()->addSubview(arrowImageView_);
    }
    return arrowImageView_;
}

void PKImagePickerController::layOutTitle(const std::string& name) {
    auto& label = *titleLabel();
    auto& arrow = *arrowImageView();
    auto& button = *titleButton();
    label.setText(name);
    label.sizeToFit();
    const double half = width(label) * 0.5 + 2 + width(arrow) + 15;
    setWidth(button, 2 * half);
    setCenterY(label, height(button) * 0.5);
    setCenterX(label, width(button) * 0.5);
    setLeft(arrow, right(label) + 5);
    setCenterY(arrow, centerY(label));
}

void PKImagePickerController::setShowsCancelButton(bool shows) {
    showsCancelButton_ = shows;
    if (!shows) {
        navigationItem()->setLeftBarButtonItem(nullptr);
        return;
    }
    auto cancel = std::make_shared<ui::Button>(cg::Rect{0, 0, 50, 30});
    cancel->setTitle("取消", ui::ControlStateNormal);
    cancel->setTitleEdgeInsets({0, 0, 0, 0});
    cancel->setTitleColor(ui::Color::orangeColor(), ui::ControlStateNormal);
    cancel->setTitleColor(PKUtil::getColor("828689"), ui::ControlStateHighlighted);
    cancel->addTarget(self(), ui::Action(&PKImagePickerController::cancelEventDidTouched), ui::ControlEventTouchUpInside);
    navigationItem()->setLeftBarButtonItem(std::make_shared<ui::BarButtonItem>(cancel), false);
}

// ---- Album drop-down ----

const std::shared_ptr<PKAssetsGroupsView>& PKImagePickerController::assetsGroupsView() {
    if (!assetsGroupsView_) {
        const double w = width(*view()), h = height(*view());
        assetsGroupsView_ = PKAssetsGroupsView::make({0, -h, w, h});
        assetsGroupsView_->setDelegate(std::weak_ptr<PKAssetsGroupsViewDelegate>(self()));
        assetsGroupsView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
        view()->addSubview(assetsGroupsView_);
    }
    return assetsGroupsView_;
}

const std::shared_ptr<ui::View>& PKImagePickerController::overlayView() {
    if (!overlayView_) {
        overlayView_ = std::make_shared<ui::View>(view()->bounds());
        overlayView_->setBackgroundColor(ui::Color::colorWithWhite(0, 0.85));
        view()->insertSubviewBelow(overlayView_, assetsGroupsView().get());
    }
    return overlayView_;
}

const std::shared_ptr<ui::Button>& PKImagePickerController::touchButton() {
    if (!touchButton_) {
        touchButton_ = std::make_shared<ui::Button>(cg::Rect{0, 0, width(*view()), 64});
        touchButton_->addTarget(self(), ui::Action(&PKImagePickerController::assetsGroupsDidDeselected),
                                ui::ControlEventTouchUpInside);
    }
    return touchButton_;
}

void PKImagePickerController::setShowsAssetsGroupSelection(bool shows) {
    showsAssetsGroupSelection_ = shows;
    arrowImageView()->setSelected(shows);
}

void PKImagePickerController::assetsGroupDidSelected(ns::Object*, ui::Event*) {
    setShowsAssetsGroupSelection(true);
    if (showsAssetsGroupSelection_) showAssetsGroupView();
}

void PKImagePickerController::assetsGroupsDidDeselected(ns::Object*, ui::Event*) {
    setShowsAssetsGroupSelection(false);
    hideAssetsGroupView();
}

void PKImagePickerController::showAssetsGroupView() {
    // The strip lies over the status and navigation bars, so a tap there (the title too) closes the list.
    if (auto window = ui::Application::sharedApplication().keyWindow()) window->addSubview(touchButton());
    overlayView()->setAlpha(0);
    auto list = assetsGroupsView();
    auto overlay = overlayView();
    ui::View::animate(kDropDownDuration, [list, overlay] {
        setTop(*list, 0);
        overlay->setAlpha(0.85);
    });
}

void PKImagePickerController::hideAssetsGroupView() {
    auto list = assetsGroupsView();
    auto overlay = overlayView_;
    std::weak_ptr<PKImagePickerController> weak = self();
    ui::View::animate(
        kDropDownDuration,
        [list, overlay] {
            setTop(*list, -height(*list));
            if (overlay) overlay->setAlpha(0);
        },
        [weak, overlay](bool) {
            auto picker = weak.lock();
            if (!picker) return;
            // A later opening made its own strip and overlay; only the ones this closing hid go.
            if (overlay && picker->overlayView_ == overlay) {
                overlay->removeFromSuperview();
                picker->overlayView_.reset();
            }
            if (picker->touchButton_ && !picker->showsAssetsGroupSelection_) {
                picker->touchButton_->removeFromSuperview();
                picker->touchButton_.reset();
            }
        });
}

// ---- Toolbar ----

const std::shared_ptr<ui::Toolbar>& PKImagePickerController::toolbar() {
    if (!toolbar_) {
        toolbar_ = std::make_shared<ui::Toolbar>(cg::Rect{0, height(*view()) - 44 - 64, width(*view()), 44});
        auto tint = PKUtil::getColor("f5f7fa");
        toolbar_->setTintColor(tint);
        toolbar_->setBarTintColor(tint);
        toolbar_->setTranslucent(true);
        toolbar_->setUserInteractionEnabled(true);
        view()->addSubview(toolbar_);
    }
    return toolbar_;
}

const std::shared_ptr<ui::Button>& PKImagePickerController::selectButton() {
    if (!selectButton_) {
        auto normal = ui::Image::imageNamed("compose_photo_original");
        const cg::Size s = sizeOf(normal);
        selectButton_ = std::make_shared<ui::Button>(cg::Rect{10, std::floor((44 - s.height) / 2), s.width, s.height});
        selectButton_->setBackgroundImage(normal, ui::ControlStateNormal);
        selectButton_->setBackgroundImage(ui::Image::imageNamed("compose_photo_original_highlighted"),
                                          ui::ControlStateSelected);
        selectButton_->addTarget(self(), ui::Action(&PKImagePickerController::previewPhotoesSelected),
                                 ui::ControlEventTouchUpInside);
        auto preview = clearLabel(PKUtil::getColor("828689"), 11);
        preview->setText("预览");
        preview->sizeToFit();
        setCenterY(*preview, s.height / 2);
        setRight(*preview, s.width - 14);
        selectButton_->addSubview(preview);
        toolbar()->addSubview(selectButton_);
    }
    return selectButton_;
}

const std::shared_ptr<ui::Label>& PKImagePickerController::finishLabel() {
    if (!finishLabel_) {
        finishLabel_ = clearLabel(ui::Color::whiteColor(), 14);
        finishLabel_->setText("下一步(9)");
        finishLabel_->sizeToFit();
    }
    return finishLabel_;
}

const std::shared_ptr<ui::Button>& PKImagePickerController::finishButton() {
    if (!finishButton_) {
        finishButton_ = std::make_shared<ui::Button>(cg::Rect{0, 0, width(*finishLabel()) + 10, height(*selectButton())});
        const cg::EdgeInsets caps{5, 5, 5, 5};
        finishButton_->setBackgroundImage(
            PKUtil::stretchImage(ui::Image::imageNamed("picker_button_orange"), caps, ui::ImageResizingMode::Stretch),
            ui::ControlStateNormal);
        finishButton_->setBackgroundImage(PKUtil::stretchImage(ui::Image::imageNamed("picker_button_orange_highlighted"),
                                                               caps, ui::ImageResizingMode::Stretch),
                                          ui::ControlStateHighlighted);
        setRight(*finishButton_, width(*view()) - 10);
        setCenterY(*finishButton_, centerY(*selectButton()));
        finishButton_->setHidden(true);
        finishButton_->addTarget(self(), ui::Action(&PKImagePickerController::finishPhotoDidSelected),
                                 ui::ControlEventTouchUpInside);
        toolbar()->addSubview(finishButton_);
        finishButton_->addSubview(finishLabel());
        finishLabel()->setCenter({width(*finishButton_) * 0.5, height(*finishButton_) * 0.5});
    }
    return finishButton_;
}

void PKImagePickerController::setUpToolbar() {
    toolbar();
    selectButton();
    finishButton();
}

void PKImagePickerController::resetFinishFrame() {
    const auto n = selectedAssetArray_.size();
    auto& finish = *finishButton();
    auto& label = *finishLabel();
    finish.setHidden(n == 0);
    label.setText("下一步(" + std::to_string(n) + ")");
    label.sizeToFit();
    setWidth(finish, width(label) + 10);
    setRight(finish, width(*view()) - 10);
    label.setCenter({width(finish) * 0.5, height(finish) * 0.5});
    if (auto done = navigationItem()->rightBarButtonItem()) done->setEnabled(n != 0);
}

}  // namespace ql
