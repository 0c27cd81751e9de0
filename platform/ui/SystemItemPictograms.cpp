#include "platform/ui/SystemItemPictograms.h"

#include <mutex>

#include "platform/ui/BezierPath.h"
#include "platform/ui/Color.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"

namespace ql::ui {

namespace {

// The share pictogram: a tray open at the top with an arrow rising out of it.
std::shared_ptr<Image> drawAction() {
    const ImageContextScope scope({20, 26}, false, 0);
    BezierPath tray;
    tray.moveToPoint({7, 9.5});
    tray.addLineToPoint({2.5, 9.5});
    tray.addLineToPoint({2.5, 24.5});
    tray.addLineToPoint({17.5, 24.5});
    tray.addLineToPoint({17.5, 9.5});
    tray.addLineToPoint({13, 9.5});
    BezierPath arrow;
    arrow.moveToPoint({10, 16});
    arrow.addLineToPoint({10, 1.5});
    arrow.moveToPoint({6, 5.5});
    arrow.addLineToPoint({10, 1.5});
    arrow.addLineToPoint({14, 5.5});
    Color::blackColor()->setStroke();
    for (BezierPath* path : {&tray, &arrow}) {
        path->setLineWidth(1.5);
        path->stroke();
    }
    return scope.image();
}

}  // namespace

std::shared_ptr<Image> pictogramOfSystemItem(BarButtonSystemItem item) {
    if (item != BarButtonSystemItem::Action) return nullptr;
    static std::once_flag once;
    static std::shared_ptr<Image>* action = nullptr;
    std::call_once(once, [] { action = new std::shared_ptr<Image>(drawAction()); });
    return *action;
}

}  // namespace ql::ui
