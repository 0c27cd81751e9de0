#pragma once
// ui::TapSelection: how a table or collection view follows a tap on one of its elements (rows, items).
// The element under a single finger is highlighted while the finger stays on it; lifting the finger
// there hands the element to the list to select or deselect, while moving off it, a second finger or a
// cancelled touch only take the highlight away.

#include <optional>
#include <set>
#include <vector>

#include "platform/foundation/IndexPath.h"
#include "platform/ui/Responder.h"

namespace ql::ui {

class Touch;

class TapSelection {
public:
    // The list's side of a tap.
    class Host {
    public:
        // Whether a tap may start now; a list that allows one brings its views on screen up to date.
        virtual bool tapMayBegin() = 0;
        virtual std::optional<ns::IndexPath> indexPathUnderTouch(const Touch& touch) = 0;
        // Whether the element has a view on screen, and that view's highlight.
        virtual bool hasVisibleElement(const ns::IndexPath& path) = 0;
        virtual void setElementHighlighted(const ns::IndexPath& path, bool highlighted) = 0;
        // What the list's delegate says and is told.
        virtual bool shouldHighlightElement(const ns::IndexPath& path) = 0;
        virtual void didHighlightElement(const ns::IndexPath& path) = 0;
        virtual void didUnhighlightElement(const ns::IndexPath& path) = 0;
        // The finger lifted on the element it highlighted.
        virtual void elementTapped(const ns::IndexPath& path) = 0;

    protected:
        ~Host() = default;
    };

    explicit TapSelection(Host& host) : host_(host) {}

    // The selected elements that selecting `path` deselects: all of them when `path` is none, the others
    // when only one may be selected.
    static std::vector<ns::IndexPath> replacedBy(const std::optional<ns::IndexPath>& path,
                                                 const std::set<ns::IndexPath>& selected, bool allowsMultiple);

    // The highlighted element, while a finger rests on one.
    const std::optional<ns::IndexPath>& pending() const { return pending_; }
    // Takes the highlight away and tells the delegate.
    void unhighlight();
    // Drops the element silently, for a list that is letting go of every view at once.
    void forget() { pending_.reset(); }

    void touchesBegan(const TouchSet& touches);
    void touchesMoved(const TouchSet& touches);
    void touchesEnded(const TouchSet& touches);
    void touchesCancelled() { unhighlight(); }

private:
    std::optional<ns::IndexPath> underTouch(const TouchSet& touches) const;

    Host& host_;
    std::optional<ns::IndexPath> pending_;
};

}  // namespace ql::ui
