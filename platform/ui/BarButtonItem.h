#pragma once
// ui::BarButtonItem: a button of a toolbar or navigation bar: titled, with an image, one of the
// platform's system items (Done, Cancel, spaces, ...) or a custom view. A tap sends its action to its
// target (or along the responder chain when it has none), with the item as sender.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/BarItem.h"
#include "platform/ui/Selector.h"

namespace ql::ui {

class Color;
class View;

enum class BarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };

enum class BarButtonSystemItem {
    Done = 0, Cancel, Edit, Save, Add, FlexibleSpace, FixedSpace, Compose, Reply, Action, Organize, Bookmarks,
    Search, Refresh, Stop, Camera, Trash, Play, Pause, Rewind, FastForward, Undo, Redo, PageCurl,
};

class BarButtonItem : public BarItem {
    QL_OBJECT_NAMED(BarButtonItem, BarItem, "UIBarButtonItem")
public:
    BarButtonItem() = default;
    BarButtonItem(std::optional<std::string> title, BarButtonItemStyle style, std::weak_ptr<ns::Object> target,
                  Action action);
    BarButtonItem(std::shared_ptr<Image> image, BarButtonItemStyle style, std::weak_ptr<ns::Object> target,
                  Action action);
    BarButtonItem(BarButtonSystemItem systemItem, std::weak_ptr<ns::Object> target, Action action);
    explicit BarButtonItem(std::shared_ptr<View> customView);

    BarButtonItemStyle style() const { return style_; }
    void setStyle(BarButtonItemStyle style);
    // The fixed width of the item (0: as wide as its content).
    double width() const { return width_; }
    void setWidth(double width);
    const std::shared_ptr<View>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<View> view);
    std::shared_ptr<ns::Object> target() const { return target_.lock(); }
    void setTarget(std::weak_ptr<ns::Object> target) { target_ = std::move(target); }
    const Action& action() const { return action_; }
    void setAction(Action action) { action_ = std::move(action); }
    const std::optional<BarButtonSystemItem>& systemItem() const { return systemItem_; }
    const std::shared_ptr<Color>& tintColor() const { return tintColor_; }
    void setTintColor(std::shared_ptr<Color> color);

    bool isFlexibleSpace() const { return systemItem_ == BarButtonSystemItem::FlexibleSpace; }
    bool isFixedSpace() const { return systemItem_ == BarButtonSystemItem::FixedSpace; }
    // The words a system item shows ("Done", "Cancel", ...); empty for spaces and pictograms.
    static std::string titleOfSystemItem(BarButtonSystemItem item);

    // What a tap does: the action goes to the target, or along the responder chain.
    void sendAction(Event* event);
    // The action of the button a bar makes for the item.
    void buttonTapped(ns::Object*, Event* event) { sendAction(event); }

    // The view a bar shows for the item: its custom view, or a button made for it; none for spaces.
    std::shared_ptr<View> makeBarView(const std::shared_ptr<Color>& tint);

private:
    BarButtonItemStyle style_ = BarButtonItemStyle::Plain;
    double width_ = 0;
    std::shared_ptr<View> customView_;
    std::weak_ptr<ns::Object> target_;
    Action action_;
    std::optional<BarButtonSystemItem> systemItem_;
    std::shared_ptr<Color> tintColor_;
};

}  // namespace ql::ui
