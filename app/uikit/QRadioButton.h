#pragma once
// The answer choice of a reading test: a button drawn as a rounded plate that turns green when selected,
// with a 16-point mark on the left and the answer's text beside it, wrapped by characters.

#include "platform/ui/Button.h"

namespace ql {

class QRadioButton : public ui::Button {
    QL_OBJECT(QRadioButton, ui::Button)
public:
    QRadioButton();

    cg::Rect imageRectForContentRect(const cg::Rect& contentRect) const override;
    cg::Rect titleRectForContentRect(const cg::Rect& contentRect) const override;
};

}  // namespace ql
