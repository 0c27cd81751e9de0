#pragma once
// A window with an outlet for the view its nib puts at the root; the app's own code makes none.

#include <memory>

#include "platform/ui/Window.h"

namespace ql {

class Window : public ui::Window {
    QL_OBJECT(Window, ui::Window)
public:
    using ui::Window::Window;

    std::shared_ptr<ui::View> rootView() const { return rootView_.lock(); }
    void setRootView(std::weak_ptr<ui::View> view) { rootView_ = std::move(view); }

private:
    std::weak_ptr<ui::View> rootView_;
};

}  // namespace ql
