#include "platform/text/Frame.h"

namespace ql::ct {

Frame::Frame(ns::Range stringRange, const cg::Rect& rect, std::vector<Line> lines, std::vector<cg::Point> origins,
             std::vector<LineRoom> rooms)
    : stringRange_(stringRange),
      rect_(rect),
      lines_(std::move(lines)),
      origins_(std::move(origins)),
      rooms_(std::move(rooms)) {}

ns::Range Frame::visibleStringRange() const {
    if (lines_.empty()) return {stringRange_.location, 0};
    return {stringRange_.location, lines_.back().stringRange().end() - stringRange_.location};
}

void Frame::draw(cg::Context& context) const {
    const cg::Point saved = context.textPosition();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        context.setTextPosition(rect_.origin.x + origins_[i].x, rect_.origin.y + origins_[i].y);
        lines_[i].draw(context);
    }
    context.setTextPosition(saved.x, saved.y);
}

}  // namespace ql::ct
