#pragma once
// ct::ParagraphStyleObject: a paragraph style as an object, so that attributed text can carry it under
// the paragraph-style key (the platform's paragraph style objects, registered as "NSParagraphStyle").
// It is immutable: a changed style is a new object.

#include <memory>
#include <string>

#include "platform/foundation/Object.h"
#include "platform/text/ParagraphStyle.h"

namespace ql::ct {

class ParagraphStyleObject final : public ns::Object {
    QL_OBJECT_NAMED(ParagraphStyleObject, ns::Object, "NSParagraphStyle")
public:
    explicit ParagraphStyleObject(ParagraphStyle style = {}) : style_(std::move(style)) {}

    const ParagraphStyle& style() const { return style_; }

    bool isEqual(const ns::Object& other) const override {
        auto* paragraph = dynamic_cast<const ParagraphStyleObject*>(&other);
        return paragraph && paragraph->style_ == style_;
    }
    std::shared_ptr<ns::Object> copy() const override { return std::make_shared<ParagraphStyleObject>(style_); }

private:
    ParagraphStyle style_;
};

}  // namespace ql::ct
