#include "platform/ui/Screen.h"

#include <memory>

#include "platform/ui/Application.h"

namespace ql::ui {

Screen& Screen::mainScreen() {
    static auto* screen = new std::shared_ptr<Screen>(std::make_shared<Screen>());
    return **screen;
}

cg::Rect Screen::applicationFrame() const {
    const cg::Rect bar = Application::sharedApplication().statusBarFrame();
    return {bounds_.origin.x, bounds_.origin.y + bar.size.height, bounds_.size.width,
            bounds_.size.height - bar.size.height};
}

}  // namespace ql::ui
