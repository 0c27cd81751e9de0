#pragma once
// RTTextBlock: a box around one or more paragraphs (a block element with padding or a background): its
// padding and background colour. Paragraph styles list the blocks that enclose them, outermost first;
// two blocks are equal when padding and colour are, so equal styles compare equal.

#include <cstddef>
#include <memory>

#include "platform/foundation/Object.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/Color.h"

namespace ql {

class RTTextBlock final : public ns::Object {
    QL_OBJECT(RTTextBlock, ns::Object)
public:
    RTTextBlock() = default;

    const cg::EdgeInsets& padding() const { return padding_; }
    void setPadding(const cg::EdgeInsets& padding) { padding_ = padding; }
    const std::shared_ptr<ui::Color>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::shared_ptr<ui::Color> color) { backgroundColor_ = std::move(color); }

    bool isEqual(const ns::Object& other) const override;
    // Agrees with isEqual.
    std::size_t hash() const;

private:
    cg::EdgeInsets padding_;
    std::shared_ptr<ui::Color> backgroundColor_;
};

}  // namespace ql
