#include "images/picker/PKPromptView.h"

#include <algorithm>

#include "images/picker/PKPickerFrame.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"

namespace ql {

namespace {

std::shared_ptr<PKPromptView>& slot() {
    static auto& prompt = *new std::shared_ptr<PKPromptView>;
    return prompt;
}

}  // namespace

PKPromptView::PKPromptView(const std::string& imageName, const std::string& message) : ui::Window(cg::Rect::zero()) {
    setWindowLevel(ui::WindowLevelStatusBar + 1);
    setBackgroundColor(ui::Color::colorWithRed(23 / 255.0, 23 / 255.0, 23 / 255.0, 0.9));
    layer()->setCornerRadius(4);
    setClipsToBounds(true);

    auto icon = ui::Image::imageNamed(imageName);
    auto imageView = std::make_shared<ui::ImageView>(icon);
    imageView->setBackgroundColor(ui::Color::clearColor());
    addSubview(imageView);
    auto label = std::make_shared<ui::Label>();
    label->setFont(ui::Font::systemFontOfSize(14));
    label->setBackgroundColor(ui::Color::clearColor());
    label->setTextColor(ui::Color::whiteColor());
    label->setTextAlignment(ui::TextAlignment::Center);
    label->setNumberOfLines(0);
    label->setText(message);
    label->sizeToFit();
    addSubview(label);

    const double w = std::max(width(*imageView), width(*label)) + 20;
    const double h = icon ? height(*label) + height(*imageView) + 40 : height(*label) + 20;
    const cg::Size screen = ui::Screen::mainScreen().bounds().size;
    setFrame({(screen.width - w) / 2, (screen.height - h) / 2, w, h});
    if (icon) {
        setCenterX(*imageView, w / 2);
        setTop(*imageView, 15);
        setCenterX(*label, w / 2);
        setTop(*label, bottom(*imageView) + 10);
    } else {
        setCenterX(*label, w / 2);
        setTop(*label, 10);
    }
    setAlpha(1);
}

std::shared_ptr<PKPromptView> PKPromptView::current() { return slot(); }

void PKPromptView::showWithImageName(const std::string& imageName, const std::string& message) {
    auto prompt = std::make_shared<PKPromptView>(imageName, message);
    prompt->setHidden(false);
    slot() = prompt;
    prompt->setAlpha(0);
    View::animate(kFadeDuration, [prompt] { prompt->setAlpha(1); });
    // The pending hide holds its prompt until it has run.
    ns::DispatchQueue::main()->after(kShowDuration, [prompt] { prompt->animationHide(); });
}

void PKPromptView::animationHide() {
    auto shown = slot();
    if (!shown) return;
    View::animate(kFadeDuration, [shown] { shown->setAlpha(0); }, [shown](bool) {
        if (slot() == shown) slot().reset();
    });
}

void showMaximumSelectionPrompt(std::uint64_t maximum) {
    PKPromptView::showWithImageName("picker_alert_sigh", "最多选择" + std::to_string(maximum) + "张照片");
}

}  // namespace ql
