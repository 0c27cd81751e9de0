#pragma once
// ui::TouchDriver: fingers for the headless device and for tests. A finger touches down at a point of
// the screen, moves and lifts; every step goes through the application as one event that holds every
// finger still down. Timestamps are the clock's; whoever drives lets time pass between steps.

#include <memory>
#include <vector>

#include "platform/graphics/Geometry.h"

namespace ql::ui {

class Touch;
class View;
class Window;

class TouchDriver {
public:
    // The frontmost shown window that takes a touch at a point of the screen.
    static std::shared_ptr<Window> windowAt(cg::Point screenPoint);

    // Null when no window takes the touch.
    std::shared_ptr<Touch> down(cg::Point screenPoint, int tapCount = 1);
    void move(const std::shared_ptr<Touch>& finger, cg::Point screenPoint);
    void up(const std::shared_ptr<Touch>& finger);
    void cancel(const std::shared_ptr<Touch>& finger);

    // Down and up at one point; false when no window took it.
    bool tap(cg::Point screenPoint, int tapCount = 1);
    // A tap at the centre of the view, wherever it is on the screen.
    bool tap(const View& view);
    // Down at `from`, `steps` moves along the line to `to`, up there.
    void drag(cg::Point from, cg::Point to, int steps = 5);

    // The centre of a view in screen coordinates.
    static cg::Point screenCenter(const View& view);

private:
    void send();

    std::vector<std::shared_ptr<Touch>> fingers_;
};

}  // namespace ql::ui
