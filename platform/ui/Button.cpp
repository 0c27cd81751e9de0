#include "platform/ui/Button.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/StringDrawing.h"

namespace ql::ui {

namespace {

const std::shared_ptr<Font>& titleFont() {
    static const auto& font = *new std::shared_ptr<Font>(Font::systemFontOfSize(15));
    return font;
}

// Places a length within [start, start + room] by the alignment, shifted by the leading and trailing insets.
double place(double start, double room, double length, int alignment, double leadingInset, double trailingInset) {
    switch (alignment) {
        case 1: return start + leadingInset;                          // left / top
        case 2: return start + room - length - trailingInset;         // right / bottom
        default: return start + (room - length) / 2 + (leadingInset - trailingInset) / 2;  // centre
    }
}

}  // namespace

Button::Button(const cg::Rect& frame, ButtonType type) : Control(frame), type_(type) {
    setOpaque(false);
}

std::shared_ptr<Button> Button::buttonWithType(ButtonType type) {
    return std::make_shared<Button>(cg::Rect::zero(), type);
}

// ---- Values per state ----

template <class T>
T Button::lookup(const std::map<unsigned, T>& values, unsigned state) {
    auto it = values.find(state);
    if (it != values.end()) return it->second;
    it = values.find(ControlStateNormal);
    return it != values.end() ? it->second : T{};
}

void Button::contentChanged() {
    setNeedsLayout();
    invalidateIntrinsicContentSize();
}

void Button::setTitle(std::optional<std::string> title, unsigned state) {
    titles_[state] = std::move(title);
    if (state == ControlStateNormal || state == this->state()) titleLabel();
    contentChanged();
}

std::optional<std::string> Button::titleForState(unsigned state) const { return lookup(titles_, state); }

void Button::setTitleColor(std::shared_ptr<Color> color, unsigned state) {
    titleColors_[state] = std::move(color);
    setNeedsLayout();
}

std::shared_ptr<Color> Button::titleColorForState(unsigned state) const {
    if (auto explicitColor = lookup(titleColors_, state)) return explicitColor;
    if (type_ == ButtonType::Custom) return Color::whiteColor();
    if (state & ControlStateDisabled) return Color::colorWithWhite(0.56, 1);
    return tintColor();
}

void Button::setTitleShadowColor(std::shared_ptr<Color> color, unsigned state) {
    titleShadowColors_[state] = std::move(color);
    setNeedsLayout();
}

std::shared_ptr<Color> Button::titleShadowColorForState(unsigned state) const { return lookup(titleShadowColors_, state); }

void Button::setImage(std::shared_ptr<Image> image, unsigned state) {
    images_[state] = std::move(image);
    derived_.clear();
    imageView();
    contentChanged();
}

std::shared_ptr<Image> Button::imageForState(unsigned state) const { return lookup(images_, state); }

void Button::setBackgroundImage(std::shared_ptr<Image> image, unsigned state) {
    backgroundImages_[state] = std::move(image);
    derived_.clear();
    contentChanged();
}

std::shared_ptr<Image> Button::backgroundImageForState(unsigned state) const { return lookup(backgroundImages_, state); }

const std::shared_ptr<Label>& Button::titleLabel() {
    if (!titleLabel_) {
        titleLabel_ = std::make_shared<Label>();
        titleLabel_->setFont(titleFont());
        titleLabel_->setLineBreakMode(LineBreakMode::TruncatingMiddle);
        titleLabel_->setHidden(true);
        addSubview(titleLabel_);
        setNeedsLayout();
    }
    return titleLabel_;
}

const std::shared_ptr<ImageView>& Button::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<ImageView>();
        imageView_->setContentMode(ContentMode::Center);
        imageView_->setHidden(true);
        insertSubview(imageView_, backgroundView_ ? 1 : 0);
        setNeedsLayout();
    }
    return imageView_;
}

void Button::setContentEdgeInsets(const cg::EdgeInsets& insets) {
    contentEdgeInsets_ = insets;
    contentChanged();
}

void Button::setTitleEdgeInsets(const cg::EdgeInsets& insets) {
    titleEdgeInsets_ = insets;
    setNeedsLayout();
}

void Button::setImageEdgeInsets(const cg::EdgeInsets& insets) {
    imageEdgeInsets_ = insets;
    setNeedsLayout();
}

void Button::setAdjustsImageWhenHighlighted(bool adjusts) {
    adjustsImageWhenHighlighted_ = adjusts;
    setNeedsLayout();
}

void Button::setAdjustsImageWhenDisabled(bool adjusts) {
    adjustsImageWhenDisabled_ = adjusts;
    setNeedsLayout();
}

void Button::setReversesTitleShadowWhenHighlighted(bool reverses) {
    reversesTitleShadow_ = reverses;
    setNeedsLayout();
}

void Button::stateDidChange() { setNeedsLayout(); }

void Button::tintColorDidChange() {
    derived_.clear();
    setNeedsLayout();
}

// ---- Geometry ----

cg::Size Button::titleSize() const {
    const auto title = currentTitle();
    if (!title || title->empty()) return {0, 0};
    const auto& font = titleLabel_ ? titleLabel_->font() : titleFont();
    const cg::Size s = sizeWithFont(*title, *font);
    return {std::ceil(s.width), std::ceil(s.height)};
}

cg::Size Button::imageSize() const {
    auto image = currentImage();
    return image ? image->size() : cg::Size{0, 0};
}

cg::Rect Button::backgroundRectForBounds(const cg::Rect& bounds) const { return bounds; }

cg::Rect Button::contentRectForBounds(const cg::Rect& bounds) const { return cg::insetRect(bounds, contentEdgeInsets_); }

std::pair<cg::Rect, cg::Rect> Button::placeContent(const cg::Rect& content) const {
    const cg::Size image = imageSize();
    cg::Size title = titleSize();
    title.width = std::max(0.0, std::min(title.width, content.size.width - image.width));
    title.height = std::min(title.height, content.size.height);
    const int h = static_cast<int>(contentHorizontalAlignment());
    const int v = static_cast<int>(contentVerticalAlignment());
    cg::Rect imageRect{{0, 0}, image};
    cg::Rect titleRect{{0, 0}, title};
    if (h == static_cast<int>(ControlContentHorizontalAlignment::Fill)) {
        imageRect.origin.x = content.origin.x + imageEdgeInsets_.left;
        titleRect.origin.x = content.origin.x + image.width + titleEdgeInsets_.left;
        titleRect.size.width = std::max(0.0, content.size.width - image.width - titleEdgeInsets_.left - titleEdgeInsets_.right);
    } else {
        // Image and title side by side, the pair placed as one.
        const double pair = image.width + title.width;
        const double start = place(content.origin.x, content.size.width, pair, h, 0, 0);
        imageRect.origin.x = start + (h == 2 ? -imageEdgeInsets_.right : h == 1 ? imageEdgeInsets_.left
                                                                               : (imageEdgeInsets_.left - imageEdgeInsets_.right) / 2);
        titleRect.origin.x = start + image.width +
                             (h == 2 ? -titleEdgeInsets_.right
                                     : h == 1 ? titleEdgeInsets_.left : (titleEdgeInsets_.left - titleEdgeInsets_.right) / 2);
    }
    if (v == static_cast<int>(ControlContentVerticalAlignment::Fill)) {
        imageRect.origin.y = content.origin.y + imageEdgeInsets_.top;
        imageRect.size.height = std::max(0.0, content.size.height - imageEdgeInsets_.top - imageEdgeInsets_.bottom);
        titleRect.origin.y = content.origin.y + titleEdgeInsets_.top;
        titleRect.size.height = std::max(0.0, content.size.height - titleEdgeInsets_.top - titleEdgeInsets_.bottom);
    } else {
        imageRect.origin.y = place(content.origin.y, content.size.height, image.height, v, imageEdgeInsets_.top,
                                   imageEdgeInsets_.bottom);
        titleRect.origin.y = place(content.origin.y, content.size.height, title.height, v, titleEdgeInsets_.top,
                                   titleEdgeInsets_.bottom);
    }
    return {imageRect, titleRect};
}

cg::Rect Button::titleRectForContentRect(const cg::Rect& contentRect) const { return placeContent(contentRect).second; }

cg::Rect Button::imageRectForContentRect(const cg::Rect& contentRect) const { return placeContent(contentRect).first; }

cg::Size Button::sizeThatFits(cg::Size) const {
    const cg::Size image = imageSize();
    const cg::Size title = titleSize();
    cg::Size size{image.width + title.width + contentEdgeInsets_.left + contentEdgeInsets_.right,
                  std::max(image.height, title.height) + contentEdgeInsets_.top + contentEdgeInsets_.bottom};
    if (auto background = currentBackgroundImage()) {
        size.width = std::max(size.width, background->size().width);
        size.height = std::max(size.height, background->size().height);
    }
    return {std::ceil(size.width), std::ceil(size.height)};
}

cg::Size Button::intrinsicContentSize() const { return sizeThatFits({0, 0}); }

// ---- Showing the state ----

std::shared_ptr<Image> Button::derived(const std::shared_ptr<Image>& image, Look look) const {
    const auto key = std::make_pair(image.get(), look);
    if (auto it = derived_.find(key); it != derived_.end()) return it->second;
    const cg::Size size = image->size();
    // A context of its own, ended however the drawing ends; without one (an image of no size) the image is
    // shown as it is, and a context of the caller's is neither drawn into nor ended.
    ImageContextScope scope(size, false, image->scale());
    cg::Context* context = scope.context();
    if (!context) return image;
    const cg::Rect rect{{0, 0}, size};
    const bool faded = look == Look::Faded || look == Look::TintedFaded;
    image->drawInRect(rect, cg::BlendMode::Normal, faded && look == Look::Faded ? 0.44 : 1);
    if (look == Look::Darker) {
        context->setBlendMode(cg::BlendMode::SourceAtop);
        context->setFillColor(cg::Color::gray(0, 0.3));
        context->fillRect(rect);
    } else if (look == Look::Tinted || look == Look::TintedFaded) {
        const cg::Color tint = tintColor()->CGColor();
        context->setBlendMode(cg::BlendMode::SourceIn);
        context->setFillColor(look == Look::TintedFaded ? tint.withAlpha(tint.alpha() * 0.2) : tint);
        context->fillRect(rect);
    }
    auto result = scope.image();
    if (!result) return image;
    derived_[key] = result;
    return result;
}

std::shared_ptr<Image> Button::shownImage(const std::shared_ptr<Image>& image, bool explicitForState) const {
    if (!image) return nullptr;
    const bool system = type_ != ButtonType::Custom;
    if (!isEnabled() && adjustsImageWhenDisabled_ && !explicitForState) return derived(image, Look::Faded);
    if (isHighlighted() && !explicitForState) {
        if (system) return derived(image, Look::TintedFaded);
        if (adjustsImageWhenHighlighted_) return derived(image, Look::Darker);
    }
    return system ? derived(image, Look::Tinted) : image;
}

void Button::layoutSubviews() {
    const unsigned s = state();
    const cg::Rect b = bounds();

    if (auto background = currentBackgroundImage()) {
        if (!backgroundView_) {
            backgroundView_ = std::make_shared<ImageView>();
            insertSubview(backgroundView_, 0);
        }
        backgroundView_->setHidden(false);
        backgroundView_->setFrame(backgroundRectForBounds(b));
        const bool own = backgroundImages_.count(s) && s != ControlStateNormal;
        auto shown = background;
        if (isHighlighted() && adjustsImageWhenHighlighted_ && !own && type_ == ButtonType::Custom) {
            shown = derived(background, Look::Darker);
        } else if (!isEnabled() && adjustsImageWhenDisabled_ && !own) {
            shown = derived(background, Look::Faded);
        }
        backgroundView_->setImage(shown);
    } else if (backgroundView_) {
        backgroundView_->setHidden(true);
        backgroundView_->setImage(nullptr);
    }

    const cg::Rect content = contentRectForBounds(b);
    if (imageView_) {
        auto image = currentImage();
        imageView_->setHidden(!image);
        imageView_->setImage(shownImage(image, images_.count(s) && s != ControlStateNormal));
        imageView_->setFrame(imageRectForContentRect(content));
    }
    if (titleLabel_) {
        const auto title = currentTitle();
        titleLabel_->setHidden(!title || title->empty());
        titleLabel_->setText(title);
        auto color = currentTitleColor();
        if (type_ != ButtonType::Custom && isHighlighted() && !titleColors_.count(s)) color = color->colorWithAlphaComponent(0.2);
        titleLabel_->setTextColor(color);
        titleLabel_->setShadowColor(currentTitleShadowColor());
        if (reversesTitleShadow_ && isHighlighted() && !unreversedShadow_) {
            unreversedShadow_ = titleLabel_->shadowOffset();
            titleLabel_->setShadowOffset({-unreversedShadow_->width, -unreversedShadow_->height});
        } else if (unreversedShadow_ && !isHighlighted()) {
            titleLabel_->setShadowOffset(*unreversedShadow_);
            unreversedShadow_.reset();
        }
        titleLabel_->setFrame(titleRectForContentRect(content));
    }
}

std::string Button::description() const {
    std::string d = View::description();
    if (auto title = currentTitle()) d.insert(d.size() - 1, "; title = '" + *title + "'");
    return d;
}

}  // namespace ql::ui
