#include "app/uikit/PlaceHolderTextView.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Color.h"
#include "platform/ui/Label.h"

namespace ql {

UIPlaceHolderTextView::UIPlaceHolderTextView(const cg::Rect& frame)
    : ui::TextView(frame), placeholderColor_(ui::Color::lightGrayColor()) {}

std::shared_ptr<UIPlaceHolderTextView> UIPlaceHolderTextView::make(const cg::Rect& frame) {
    auto view = std::make_shared<UIPlaceHolderTextView>(frame);
    view->listen();
    return view;
}

UIPlaceHolderTextView::~UIPlaceHolderTextView() {
    if (listening_) ns::NotificationCenter::defaultCenter().removeObserver(this);
}

void UIPlaceHolderTextView::awakeFromNib() {
    ui::TextView::awakeFromNib();
    listen();
}

void UIPlaceHolderTextView::listen() {
    if (listening_) return;
    listening_ = true;
    // Only this view's own changes: another text view's typing says nothing about this one's hint.
    std::weak_ptr<UIPlaceHolderTextView> weakSelf = std::static_pointer_cast<UIPlaceHolderTextView>(shared_from_this());
    ns::NotificationCenter::defaultCenter().addObserver(
        weakSelf,
        [weakSelf](const ns::Notification&) {
            if (auto self = weakSelf.lock()) self->textChanged();
        },
        ui::TextViewTextDidChangeNotification, this);
}

void UIPlaceHolderTextView::textChanged() {
    if (placeholder_.empty()) return;
    if (ui::View* hint = viewWithTag(kHintTag)) hint->setAlpha(text().empty() ? 1 : 0);
}

void UIPlaceHolderTextView::setText(std::optional<std::string> text) {
    ui::TextView::setText(std::move(text));
    textChanged();
}

void UIPlaceHolderTextView::drawRect(const cg::Rect& rect) {
    if (!placeholder_.empty()) {
        if (!placeHolderLabel_) {
            placeHolderLabel_ = std::make_shared<ui::Label>(cg::Rect{8, 8, bounds().size.width - 16, 0});
            placeHolderLabel_->setLineBreakMode(ui::LineBreakMode::WordWrapping);
            placeHolderLabel_->setNumberOfLines(0);
            placeHolderLabel_->setFont(font());
            placeHolderLabel_->setBackgroundColor(ui::Color::clearColor());
            placeHolderLabel_->setTextColor(placeholderColor_);
            placeHolderLabel_->setAlpha(0);
            placeHolderLabel_->setTag(kHintTag);
            addSubview(placeHolderLabel_);
        }
        placeHolderLabel_->setText(placeholder_);
        placeHolderLabel_->sizeToFit();
        sendSubviewToBack(placeHolderLabel_.get());
        if (text().empty()) {
            if (ui::View* hint = viewWithTag(kHintTag)) hint->setAlpha(1);
        }
    }
    ui::TextView::drawRect(rect);
}

namespace {

const char kPlaceHolderTextViewKey = 0;
const char kHintKeeperKey = 0;

// Stands in for the text view as its own delegate: hides the hint while editing.
class HintKeeper : public ns::Object, public ui::TextViewDelegate {
    QL_OBJECT(HintKeeper, ns::Object)
public:
    void textViewDidBeginEditing(ui::TextView& textView) override {
        if (auto hint = placeHolderTextView(textView)) hint->setHidden(true);
    }
    void textViewDidEndEditing(ui::TextView& textView) override {
        if (auto hint = placeHolderTextView(textView); hint && textView.text().empty()) hint->setHidden(false);
    }
};

}  // namespace

void addPlaceHolder(ui::TextView& textView, const std::string& text) {
    if (placeHolderTextView(textView)) return;
    auto keeper = std::make_shared<HintKeeper>();
    textView.setDelegate(keeper);
    textView.setAssociatedValue(&kHintKeeperKey, ns::Value(std::static_pointer_cast<ns::Object>(keeper)));

    auto hint = std::make_shared<ui::TextView>(textView.bounds());
    hint->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    hint->setFont(textView.font());
    hint->setBackgroundColor(ui::Color::clearColor());
    hint->setTextColor(ui::Color::grayColor());
    hint->setUserInteractionEnabled(false);
    hint->setText(text);
    textView.addSubview(hint);
    textView.setAssociatedValue(&kPlaceHolderTextViewKey, ns::Value(std::static_pointer_cast<ns::Object>(hint)));
}

std::shared_ptr<ui::TextView> placeHolderTextView(const ui::TextView& textView) {
    return textView.associatedValue(&kPlaceHolderTextViewKey).asObject<ui::TextView>();
}

}  // namespace ql
