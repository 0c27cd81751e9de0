#pragma once
// The app's own title bar, put across the top of every screen in place of the system bar: a back button,
// a title plate with the screen's title, a decoration beside it and a search button that screens may
// show. Phones lay it out proportionally to the 375 × 667 design; tablets use fixed frames.

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/View.h"

namespace ql::ui {
class Button;
class ImageView;
class Label;
}  // namespace ql::ui

namespace ql {

// Both optional: a delegate that does not override one is simply not told.
class TarnNavigationBarDelegate {
public:
    virtual ~TarnNavigationBarDelegate() = default;
    virtual void TarnNavigationBar_onButtonBack() {}
    virtual void TarnNavigationBar_onButtonSearch() {}
};

class CustomNavigationBar : public ui::View {
    QL_OBJECT(CustomNavigationBar, ui::View)
public:
    static constexpr std::int64_t kBackTag = 1;
    static constexpr std::int64_t kSearchTag = 4;

    // Call build() (or use make()) before use: the subviews need the bar to be owned already.
    CustomNavigationBar();
    static std::shared_ptr<CustomNavigationBar> make();

    // "null" (as the service sometimes sends) shows as no title.
    void setNavigationTitle(const std::optional<std::string>& title);
    // Target of the search button: tells the delegate by the sender's tag.
    void onButtonInTarnNavigationBar(ui::Button* sender);

    const std::shared_ptr<ui::ImageView>& segmentView() const { return segmentView_; }
    const std::shared_ptr<ui::Button>& buttonBack() const { return buttonBack_; }
    const std::shared_ptr<ui::Button>& buttonSearch() const { return buttonSearch_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }

    // Held weakly: the screen owns its bar, not the other way round.
    std::shared_ptr<TarnNavigationBarDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<TarnNavigationBarDelegate> delegate) { delegate_ = std::move(delegate); }

private:
    void build();
    void phoneUI();
    void iPadUI();

    std::shared_ptr<ui::ImageView> segmentView_;
    std::shared_ptr<ui::Button> buttonBack_;
    std::shared_ptr<ui::Button> buttonSearch_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::weak_ptr<TarnNavigationBarDelegate> delegate_;
};

}  // namespace ql
