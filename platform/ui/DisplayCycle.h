#pragma once
// ui::DisplayCycle: the layout and display passes that follow changes to views. A request made during a
// turn of the main run loop is served once at the end of it: every window is laid out from the top,
// then every layer of a shown window that was marked draws itself.

namespace ql::ui {

class Layer;

class DisplayCycle {
public:
    // Queues one pass on the main run loop unless one is queued already.
    static void schedule();
    // Runs the layout pass and then the display pass now.
    static void flush();
    // The display pass of one tree: every marked, shown layer draws.
    static void display(Layer& root);
};

}  // namespace ql::ui
