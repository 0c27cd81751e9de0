#pragma once
// MHProgressHUD: an overlay placed over a given view, drawing a rounded translucent panel with an
// indicator chosen by its mode (spinner, pie, bar, ring, a caller's view or none), a label and a
// multi-line details label. It can wait a grace time before showing, stay a minimum time once shown,
// show and hide with a fade or a zoom, and stay shown while work runs on a thread of its own or a queue.
// A change of a property that affects the look lays it out and draws it again, on the main thread also
// when the change was made on another.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace ql::ns {
class Timer;
}

namespace ql {

enum MHProgressHUDMode : std::int64_t {
    MHProgressHUDModeIndeterminate = 0,             // a spinner
    MHProgressHUDModeDeterminate = 1,               // a pie
    MHProgressHUDModeDeterminateHorizontalBar = 2,  // a bar
    MHProgressHUDModeAnnularDeterminate = 3,        // a ring
    MHProgressHUDModeCustomView = 4,                // the custom view
    MHProgressHUDModeText = 5,                      // labels only
};

enum MHProgressHUDAnimation : std::int64_t {
    MHProgressHUDAnimationFade = 0,
    MHProgressHUDAnimationZoomOut = 1,
    MHProgressHUDAnimationZoomIn = 2,
};

class MHProgressHUD;

class MHProgressHUDDelegate {
public:
    virtual ~MHProgressHUDDelegate() = default;
    virtual void hudWasHidden(MHProgressHUD&) {}
};

class MHProgressHUD : public ui::View {
    QL_OBJECT(MHProgressHUD, ui::View)
public:
    using Block = std::function<void()>;

    static constexpr double kAnimationDuration = 0.3;
    // Space between the indicator and the labels.
    static constexpr double kPadding = 4;

    explicit MHProgressHUD(const cg::Rect& frame);
    MHProgressHUD() : MHProgressHUD(cg::Rect::zero()) {}
    ~MHProgressHUD() override;

    // As large as the view's (or window's) bounds; not yet added to it.
    static std::shared_ptr<MHProgressHUD> initWithView(const ui::View& view);
    static std::shared_ptr<MHProgressHUD> initWithWindow(const ui::View& window) { return initWithView(window); }

    // A new overlay added to the view and shown; it leaves the view when hidden.
    static std::shared_ptr<MHProgressHUD> showHUDAddedTo(ui::View& view, bool animated);
    // Hides the frontmost overlay of the view; false when it has none.
    static bool hideHUDForView(ui::View& view, bool animated);
    static std::size_t hideAllHUDsForView(ui::View& view, bool animated);
    static std::shared_ptr<MHProgressHUD> HUDForView(const ui::View& view);
    static std::vector<std::shared_ptr<MHProgressHUD>> allHUDsForView(const ui::View& view);

    // ---- Showing and hiding ----
    void show(bool animated);
    void hide(bool animated);
    void hide(bool animated, double delay);
    void hideDelayed(bool animated) { hide(animated); }
    // Shown while `method` runs on a thread of its own; hidden when it returns.
    void showWhileExecuting(Block method, bool animated);
    // Shown while `block` runs on the queue (the default-priority global queue unless given); hidden when
    // it returns, then `completion` runs on the main thread.
    void showAnimated(bool animated, Block block, std::shared_ptr<ns::DispatchQueue> queue = nullptr,
                      Block completion = {});

    // ---- Properties that change the look (safe from any thread) ----
    MHProgressHUDMode mode() const;
    void setMode(MHProgressHUDMode mode);
    std::shared_ptr<ui::View> customView() const;
    void setCustomView(std::shared_ptr<ui::View> view);
    std::optional<std::string> labelText() const;
    void setLabelText(std::optional<std::string> text);
    std::shared_ptr<ui::Font> labelFont() const;
    void setLabelFont(std::shared_ptr<ui::Font> font);
    std::shared_ptr<ui::Color> labelColor() const;
    void setLabelColor(std::shared_ptr<ui::Color> color);
    std::optional<std::string> detailsLabelText() const;
    void setDetailsLabelText(std::optional<std::string> text);
    std::shared_ptr<ui::Font> detailsLabelFont() const;
    void setDetailsLabelFont(std::shared_ptr<ui::Font> font);
    std::shared_ptr<ui::Color> detailsLabelColor() const;
    void setDetailsLabelColor(std::shared_ptr<ui::Color> color);
    float progress() const;
    void setProgress(float progress);
    std::shared_ptr<ui::Color> activityIndicatorColor() const;
    void setActivityIndicatorColor(std::shared_ptr<ui::Color> color);

    // ---- Other properties (main thread) ----
    MHProgressHUDAnimation animationType() const { return animationType_; }
    void setAnimationType(MHProgressHUDAnimation type) { animationType_ = type; }
    std::shared_ptr<MHProgressHUDDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<MHProgressHUDDelegate> delegate) { delegate_ = std::move(delegate); }
    float opacity() const { return opacity_; }
    void setOpacity(float opacity) { opacity_ = opacity; }
    // The panel's colour; none: black at `opacity`.
    const std::shared_ptr<ui::Color>& color() const { return color_; }
    void setColor(std::shared_ptr<ui::Color> color) { color_ = std::move(color); }
    float xOffset() const { return xOffset_; }
    void setXOffset(float offset) { xOffset_ = offset; }
    float yOffset() const { return yOffset_; }
    void setYOffset(float offset) { yOffset_ = offset; }
    float margin() const { return margin_; }
    void setMargin(float margin) { margin_ = margin; }
    float cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(float radius) { cornerRadius_ = radius; }
    bool dimBackground() const { return dimBackground_; }
    void setDimBackground(bool dim) { dimBackground_ = dim; }
    float graceTime() const { return graceTime_; }
    void setGraceTime(float seconds) { graceTime_ = seconds; }
    float minShowTime() const { return minShowTime_; }
    void setMinShowTime(float seconds) { minShowTime_ = seconds; }
    bool taskInProgress() const { return taskInProgress_; }
    void setTaskInProgress(bool inProgress) { taskInProgress_ = inProgress; }
    bool removeFromSuperViewOnHide() const { return removeFromSuperViewOnHide_; }
    void setRemoveFromSuperViewOnHide(bool remove) { removeFromSuperViewOnHide_ = remove; }
    cg::Size minSize() const { return minSize_; }
    void setMinSize(cg::Size size) { minSize_ = size; }
    bool isSquare() const { return square_; }
    void setSquare(bool square) { square_ = square; }
    const Block& completionBlock() const { return completionBlock_; }
    void setCompletionBlock(Block block) { completionBlock_ = std::move(block); }

    // ---- State ----
    // The panel's size from the last layout.
    cg::Size size() const { return size_; }
    bool isFinished() const { return isFinished_; }
    const std::optional<ns::Date>& showStarted() const { return showStarted_; }
    const std::shared_ptr<ui::View>& indicator() const { return indicator_; }
    const std::shared_ptr<ui::Label>& label() const { return label_; }
    const std::shared_ptr<ui::Label>& detailsLabel() const { return detailsLabel_; }

    void layoutSubviews() override;
    void drawRect(const cg::Rect& rect) override;
    void didMoveToSuperview() override;

    // Applies a property change to the parts (see the source); called on the main thread.
    void updateUIForKeypath(std::string_view keyPath);

private:
    void propertyChanged(std::string_view keyPath);
    void updateIndicators();
    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void done();
    void cleanUp();
    void cancelDelayedHide();
    void updateForCurrentOrientationAnimated(bool animated);
    std::shared_ptr<MHProgressHUD> self() { return std::static_pointer_cast<MHProgressHUD>(sharedFromThis()); }

    // The properties that change the look are read and written under this lock.
    mutable std::mutex mutex_;
    MHProgressHUDMode mode_ = MHProgressHUDModeIndeterminate;
    std::shared_ptr<ui::View> customView_;
    std::optional<std::string> labelText_;
    std::shared_ptr<ui::Font> labelFont_;
    std::shared_ptr<ui::Color> labelColor_;
    std::optional<std::string> detailsLabelText_;
    std::shared_ptr<ui::Font> detailsLabelFont_;
    std::shared_ptr<ui::Color> detailsLabelColor_;
    float progress_ = 0;
    std::shared_ptr<ui::Color> activityIndicatorColor_;

    bool useAnimation_ = false;
    Block methodForExecution_;
    std::shared_ptr<ui::Label> label_;
    std::shared_ptr<ui::Label> detailsLabel_;
    bool isFinished_ = false;
    cg::AffineTransform rotationTransform_;
    bool square_ = false;
    bool dimBackground_ = false;
    bool taskInProgress_ = false;
    bool removeFromSuperViewOnHide_ = false;
    float opacity_ = 0.8f;
    float xOffset_ = 0;
    float yOffset_ = 0;
    float margin_ = 20;
    float graceTime_ = 0;
    float minShowTime_ = 0;
    float cornerRadius_ = 10;
    MHProgressHUDAnimation animationType_ = MHProgressHUDAnimationFade;
    std::weak_ptr<MHProgressHUDDelegate> delegate_;
    std::shared_ptr<ui::Color> color_;
    std::shared_ptr<ui::View> indicator_;
    std::shared_ptr<ns::Timer> graceTimer_;
    std::shared_ptr<ns::Timer> minShowTimer_;
    std::shared_ptr<ns::Timer> delayedHide_;
    std::optional<ns::Date> showStarted_;
    Block completionBlock_;
    cg::Size minSize_;
    cg::Size size_;
    bool observingOrientation_ = false;
};

}  // namespace ql
