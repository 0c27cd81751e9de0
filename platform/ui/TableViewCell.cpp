#include "platform/ui/TableViewCell.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Color.h"
#include "platform/ui/Control.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"

namespace ql::ui {

namespace {

// The standard accessories' drawings, in points.
constexpr cg::Size kChevronSize{8, 13};
constexpr cg::Size kCheckmarkSize{14, 11};
constexpr double kDetailButtonSide = 22;
constexpr double kDetailChevronGap = 10;
// The second column of the value-2 style starts after a title column this wide.
constexpr double kValue2TitleWidth = 67;
constexpr double kValue2Gap = 6;

double separatorThickness() { return 1 / std::max(1.0, Screen::mainScreen().scale()); }

}  // namespace

// The standard accessory drawn at the right of the cell. The detail buttons take taps; the indicator and
// the checkmark leave them to the row.
class TableViewCell::Accessory final : public Control {
    QL_OBJECT_NAMED(Accessory, Control, "_UITableViewCellAccessoryView")
public:
    explicit Accessory(TableViewCellAccessoryType type) : Control(cg::Rect::zero()), type_(type) {
        setOpaque(false);
        setUserInteractionEnabled(type == TableViewCellAccessoryType::DetailButton ||
                                  type == TableViewCellAccessoryType::DetailDisclosureButton);
        const double width = type == TableViewCellAccessoryType::Checkmark               ? kCheckmarkSize.width
                             : type == TableViewCellAccessoryType::DisclosureIndicator  ? kChevronSize.width
                             : type == TableViewCellAccessoryType::DetailButton         ? kDetailButtonSide
                                                                                        : kDetailButtonSide + kDetailChevronGap + kChevronSize.width;
        const double height = type == TableViewCellAccessoryType::Checkmark             ? kCheckmarkSize.height
                              : type == TableViewCellAccessoryType::DisclosureIndicator ? kChevronSize.height
                                                                                        : kDetailButtonSide;
        setFrame({0, 0, width, height});
    }

    TableViewCellAccessoryType type() const { return type_; }
    std::function<void()> action;

    void drawRect(const cg::Rect&) override {
        cg::Context* context = GraphicsGetCurrentContext();
        if (!context) return;
        const cg::Rect b = bounds();
        const cg::Color tint = tintColor()->CGColor();
        context->setLineCap(cg::LineCap::Round);
        context->setLineJoin(cg::LineJoin::Round);
        switch (type_) {
            case TableViewCellAccessoryType::DisclosureIndicator: drawChevron(*context, cg::maxX(b) - kChevronSize.width, b); break;
            case TableViewCellAccessoryType::Checkmark:
                context->setStrokeColor(tint);
                context->setLineWidth(2);
                context->beginPath();
                context->moveToPoint(1, b.size.height * 0.55);
                context->addLineToPoint(b.size.width * 0.38, b.size.height - 1);
                context->addLineToPoint(b.size.width - 1, 1);
                context->strokePath();
                break;
            case TableViewCellAccessoryType::DetailButton:
            case TableViewCellAccessoryType::DetailDisclosureButton: {
                const cg::Rect circle{0.5, 0.5, kDetailButtonSide - 1, kDetailButtonSide - 1};
                context->setStrokeColor(isHighlighted() ? tint.withAlpha(0.3) : tint);
                context->setFillColor(tint);
                context->setLineWidth(1);
                context->strokeEllipseInRect(circle);
                const double mid = kDetailButtonSide / 2;
                context->fillEllipseInRect({mid - 1, 5.5, 2, 2});
                context->fillRect({mid - 1, 9, 2, 8});
                if (type_ == TableViewCellAccessoryType::DetailDisclosureButton) {
                    drawChevron(*context, cg::maxX(b) - kChevronSize.width, b);
                }
                break;
            }
            case TableViewCellAccessoryType::None: break;
        }
    }

    void touchesEnded(const TouchSet& touches, Event* event) override {
        const bool inside = isTracking() && isTouchInside();
        Control::touchesEnded(touches, event);
        if (inside && action) action();
    }

private:
    static void drawChevron(cg::Context& context, double x, const cg::Rect& b) {
        const double top = (b.size.height - kChevronSize.height) / 2;
        context.setStrokeColor(cg::Color::rgb(199 / 255.0, 199 / 255.0, 204 / 255.0, 1));
        context.setLineWidth(2);
        context.beginPath();
        context.moveToPoint(x + 1, top + 1);
        context.addLineToPoint(x + kChevronSize.width - 1, top + kChevronSize.height / 2);
        context.addLineToPoint(x + 1, top + kChevronSize.height - 1);
        context.strokePath();
    }

    TableViewCellAccessoryType type_;
};

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : View(cg::Rect{0, 0, 320, 44}), style_(style), reuseIdentifier_(std::move(reuseIdentifier)),
      contentView_(std::make_shared<View>(cg::Rect{0, 0, 320, 44})) {
    setBackgroundColor(Color::whiteColor());
    contentView_->setBackgroundColor(Color::clearColor());
    contentView_->setOpaque(false);
    addSubview(contentView_);
}

TableViewCell::TableViewCell(const cg::Rect& frame) : TableViewCell(TableViewCellStyle::Default, {}) { setFrame(frame); }

// ---- Standard views ----

const std::shared_ptr<Label>& TableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = std::make_shared<Label>();
        textLabel_->setBackgroundColor(Color::clearColor());
        textLabel_->setOpaque(false);
        switch (style_) {
            case TableViewCellStyle::Value2:
                textLabel_->setFont(Font::systemFontOfSize(15));
                textLabel_->setTextColor(tintColor());
                textLabel_->setTextAlignment(TextAlignment::Right);
                break;
            default: textLabel_->setFont(Font::systemFontOfSize(17)); break;
        }
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

std::shared_ptr<Label> TableViewCell::detailTextLabel() {
    if (style_ == TableViewCellStyle::Default) return nullptr;
    if (!detailTextLabel_) {
        detailTextLabel_ = std::make_shared<Label>();
        detailTextLabel_->setBackgroundColor(Color::clearColor());
        detailTextLabel_->setOpaque(false);
        switch (style_) {
            case TableViewCellStyle::Value1:
                detailTextLabel_->setFont(Font::systemFontOfSize(17));
                detailTextLabel_->setTextColor(Color::colorWithWhite(142 / 255.0, 1));
                detailTextLabel_->setTextAlignment(TextAlignment::Right);
                break;
            case TableViewCellStyle::Value2: detailTextLabel_->setFont(Font::systemFontOfSize(15)); break;
            default: detailTextLabel_->setFont(Font::systemFontOfSize(12)); break;
        }
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

const std::shared_ptr<ImageView>& TableViewCell::imageView() {
    if (!imageView_) {
        imageView_ = std::make_shared<ImageView>();
        imageView_->setContentMode(ContentMode::Center);
        contentView_->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

// ---- Backgrounds ----

void TableViewCell::setBackgroundView(std::shared_ptr<View> view) {
    if (backgroundView_ == view) return;
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(view);
    if (backgroundView_) insertSubview(backgroundView_, 0);
    setNeedsLayout();
}

std::shared_ptr<View> TableViewCell::selectedBackgroundView() {
    if (!selectedBackgroundView_ && selectionStyle_ != TableViewCellSelectionStyle::None) {
        selectedBackgroundView_ = std::make_shared<View>(bounds());
        selectedBackgroundView_->setBackgroundColor(Color::colorWithWhite(217 / 255.0, 1));
    }
    return selectedBackgroundView_;
}

void TableViewCell::setSelectedBackgroundView(std::shared_ptr<View> view) {
    if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = std::move(view);
    showSelection();
}

// ---- Accessory ----

double TableViewCell::accessoryWidth(TableViewCellAccessoryType type) {
    switch (type) {
        case TableViewCellAccessoryType::DisclosureIndicator: return 34;
        case TableViewCellAccessoryType::DetailDisclosureButton: return 68;
        case TableViewCellAccessoryType::Checkmark: return 40;
        case TableViewCellAccessoryType::DetailButton: return 48;
        case TableViewCellAccessoryType::None: break;
    }
    return 0;
}

double TableViewCell::accessoryWidth() const {
    if (accessoryView_) return accessoryView_->frame().size.width + 16;
    return accessoryWidth(accessoryType_);
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType type) {
    if (type == accessoryType_) return;
    accessoryType_ = type;
    if (standardAccessory_) standardAccessory_->removeFromSuperview();
    standardAccessory_.reset();
    if (type != TableViewCellAccessoryType::None && !accessoryView_) {
        standardAccessory_ = std::make_shared<Accessory>(type);
        standardAccessory_->action = accessoryAction_;
        addSubview(standardAccessory_);
    }
    setNeedsLayout();
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> view) {
    if (view == accessoryView_) return;
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = std::move(view);
    if (accessoryView_) {
        if (standardAccessory_) standardAccessory_->removeFromSuperview();
        standardAccessory_.reset();
        addSubview(accessoryView_);
    } else {
        const TableViewCellAccessoryType type = accessoryType_;
        accessoryType_ = TableViewCellAccessoryType::None;
        setAccessoryType(type);
    }
    setNeedsLayout();
}

void TableViewCell::setAccessoryAction(std::function<void()> action) {
    accessoryAction_ = std::move(action);
    if (standardAccessory_) standardAccessory_->action = accessoryAction_;
}

// ---- Selection ----

void TableViewCell::setSelectionStyle(TableViewCellSelectionStyle style) {
    selectionStyle_ = style;
    showSelection();
}

void TableViewCell::setSelected(bool selected, bool) {
    if (selected == selected_) return;
    selected_ = selected;
    showSelection();
}

void TableViewCell::setHighlighted(bool highlighted, bool) {
    if (highlighted == highlighted_) return;
    highlighted_ = highlighted;
    showSelection();
}

void TableViewCell::showSelection() {
    const bool shown = (selected_ || highlighted_) && selectionStyle_ != TableViewCellSelectionStyle::None;
    if (shown) {
        if (auto view = selectedBackgroundView()) {
            if (view->superview() != this) {
                insertSubviewBelow(view, contentView_.get());
                view->setFrame(bounds());
            }
        }
    } else if (selectedBackgroundView_) {
        selectedBackgroundView_->removeFromSuperview();
    }
    if (textLabel_) textLabel_->setHighlighted(shown);
    if (detailTextLabel_) detailTextLabel_->setHighlighted(shown);
    if (imageView_) imageView_->setHighlighted(shown);
}

void TableViewCell::prepareForReuse() {
    setHighlighted(false, false);
    setSelected(false, false);
}

// ---- Separator and layout ----

void TableViewCell::setSeparator(TableViewCellSeparatorStyle style, const cg::Color& color, const cg::EdgeInsets& insets) {
    if (style == separatorStyle_ && insets == separatorInsets_ && color == separatorColor_) return;
    separatorStyle_ = style;
    separatorInsets_ = insets;
    separatorColor_ = color;
    if (style == TableViewCellSeparatorStyle::None) {
        if (separator_) separator_->removeFromSuperview();
        separator_.reset();
    } else {
        if (!separator_) {
            separator_ = std::make_shared<View>();
            addSubview(separator_);
        }
        separator_->setBackgroundColor(Color::colorWithCGColor(color));
    }
    setNeedsLayout();
}

cg::Rect TableViewCell::contentFrame() const {
    const cg::Rect b = bounds();
    const double separator = separator_ ? separatorThickness() : 0;
    return {0, 0, std::max(0.0, b.size.width - accessoryWidth()), std::max(0.0, b.size.height - separator)};
}

void TableViewCell::layoutSubviews() {
    const cg::Rect b = bounds();
    const cg::Rect content = contentFrame();
    contentView_->setFrame(content);
    if (backgroundView_) backgroundView_->setFrame(b);
    if (selectedBackgroundView_ && selectedBackgroundView_->superview() == this) selectedBackgroundView_->setFrame(b);
    if (View* accessory = accessoryView_ ? accessoryView_.get() : standardAccessory_.get()) {
        const cg::Size size = accessory->frame().size;
        accessory->setFrame({b.size.width - kMargin - size.width, (content.size.height - size.height) / 2, size.width,
                             size.height});
    }
    if (separator_) {
        const double thickness = separatorThickness();
        separator_->setFrame({separatorInsets_.left, b.size.height - thickness,
                              std::max(0.0, b.size.width - separatorInsets_.left - separatorInsets_.right), thickness});
        if (subviews().back() != separator_) bringSubviewToFront(separator_.get());
    }
    layoutLabels(contentView_->bounds());
}

void TableViewCell::layoutLabels(const cg::Rect& content) {
    const double height = content.size.height;
    double x = kMargin;
    if (imageView_ && imageView_->image()) {
        const cg::Size size = imageView_->image()->size();
        const double h = std::min(size.height, height);
        imageView_->setFrame({kMargin, std::round((height - h) / 2), size.width, h});
        x = kMargin + size.width + kMargin;
    } else if (imageView_) {
        imageView_->setFrame(cg::Rect::zero());
    }
    const double right = content.size.width - kMargin;
    const double available = std::max(0.0, right - x);
    auto fit = [](Label& label, double width) {
        const cg::Size size = label.sizeThatFits({width, 0});
        return cg::Size{std::min(std::ceil(size.width), width), std::ceil(size.height)};
    };
    const bool hasDetail = detailTextLabel_ && detailTextLabel_->text() && !detailTextLabel_->text()->empty();
    switch (style_) {
        case TableViewCellStyle::Default:
            if (textLabel_) textLabel_->setFrame({x, 0, available, height});
            break;
        case TableViewCellStyle::Value1: {
            const cg::Size detail = hasDetail ? fit(*detailTextLabel_, available) : cg::Size{};
            if (detailTextLabel_) detailTextLabel_->setFrame({right - detail.width, 0, detail.width, height});
            const double gap = hasDetail ? kValue2Gap : 0;
            if (textLabel_) textLabel_->setFrame({x, 0, std::max(0.0, available - detail.width - gap), height});
            break;
        }
        case TableViewCellStyle::Value2: {
            if (textLabel_) textLabel_->setFrame({x, 0, kValue2TitleWidth, height});
            const double detailX = x + kValue2TitleWidth + kValue2Gap;
            if (detailTextLabel_) detailTextLabel_->setFrame({detailX, 0, std::max(0.0, right - detailX), height});
            break;
        }
        case TableViewCellStyle::Subtitle: {
            const cg::Size title = textLabel_ ? fit(*textLabel_, available) : cg::Size{};
            const cg::Size detail = hasDetail ? fit(*detailTextLabel_, available) : cg::Size{};
            const double top = std::round((height - title.height - detail.height) / 2);
            if (textLabel_) textLabel_->setFrame({x, top, available, title.height});
            if (detailTextLabel_) detailTextLabel_->setFrame({x, top + title.height, available, detail.height});
            break;
        }
    }
}

}  // namespace ql::ui
