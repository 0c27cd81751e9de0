#pragma once
// ui::LayoutGuide: the top or bottom layout guide of a view controller: an invisible, zero-width view at
// the top (bottom) edge of the controller's view, as tall as the part of the view that the bars cover
// there (status bar and navigation bar above, tab bar below). Constraints relate content to its bottom
// (top) edge to stay clear of the bars.

#include <memory>

#include "platform/ui/View.h"

namespace ql::ui {

class LayoutConstraint;
class ViewController;

class LayoutGuide : public View {
    QL_OBJECT_NAMED(LayoutGuide, View, "_UILayoutGuide")
public:
    enum class Edge { Top, Bottom };

    // Made by the controller, which adds it to its view on first request.
    LayoutGuide(ViewController& controller, Edge edge);

    Edge edge() const { return edge_; }
    // The guide's height: how far into the controller's view the bars on its edge reach.
    double length() const;

    // Pins the guide to its edge of the controller's view (after it joined the view) and brings its height
    // up to date; the controller calls it before each layout pass of its view.
    void update();

private:
    ViewController* controller_;
    Edge edge_;
    std::shared_ptr<LayoutConstraint> height_;
};

}  // namespace ql::ui
