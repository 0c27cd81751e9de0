#include "screens/common/BookCell.h"

#include <algorithm>
#include <cmath>

#include "app/service/BookModels.h"
#include "app/uikit/ColorHex.h"
#include "images/webimage/ImageViewWebCache.h"
#include "images/webimage/WebImageManager.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace ql {

namespace {

constexpr double kMargin = 15;

}  // namespace

BookCell::BookCell(const std::string& reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Subtitle, reuseIdentifier),
      cover_(std::make_shared<ui::ImageView>(cg::Rect{{kMargin, 0}, kCoverSize})) {
    cover_->setContentMode(ui::ContentMode::ScaleAspectFill);
    cover_->setClipsToBounds(true);
    cover_->layer()->setCornerRadius(3);
    contentView()->addSubview(cover_);
    setBackgroundColor(ui::Color::clearColor());
    textLabel()->setFont(ui::Font::systemFontOfSize(16));
    detailTextLabel()->setTextColor(colorWithHex(0xE8833A));
}

void BookCell::showBook(const BookListModel& book) {
    textLabel()->setText(book.BookName);
    detailTextLabel()->setText("小红花 " + std::to_string(book.Flower) + " 朵");
    // The list asks again each time (the service may have changed a cover); the cache answers meanwhile.
    wi_setImageWithURL(cover_, ns::URL::fromString(book.ImageUrl), ui::Image::imageNamed("book_cover_placeholder"),
                       WebImageLoadRefreshCached);
}

void BookCell::layoutSubviews() {
    ui::TableViewCell::layoutSubviews();
    const cg::Rect content = contentView()->bounds();
    cover_->setFrame({{kMargin, std::round((content.size.height - kCoverSize.height) / 2)}, kCoverSize});
    // The texts move over to make room for the cover.
    const double shift = kCoverSize.width + kMargin;
    for (const auto& label : {textLabel(), detailTextLabel()}) {
        cg::Rect frame = label->frame();
        frame.origin.x += shift;
        frame.size.width = std::max(0.0, frame.size.width - shift);
        label->setFrame(frame);
    }
}

}  // namespace ql
