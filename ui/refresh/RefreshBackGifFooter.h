#pragma once
// RefreshBackGifFooter: the back state footer with an image animation per state; while idle the images
// follow how far the footer is pulled out.

#include <memory>

#include "ui/refresh/RefreshBackStateFooter.h"
#include "ui/refresh/RefreshGifImages.h"

namespace ql {

class RefreshBackGifFooter : public RefreshBackStateFooter {
    QL_OBJECT(RefreshBackGifFooter, RefreshBackStateFooter)
public:
    using Images = RefreshGifImages::Images;

    explicit RefreshBackGifFooter(Passkey key) : RefreshBackStateFooter(key) {}
    static std::shared_ptr<RefreshBackGifFooter> footerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshBackGifFooter>(std::move(block));
    }
    static std::shared_ptr<RefreshBackGifFooter> footerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                            RefreshingAction action) {
        return make<RefreshBackGifFooter>(std::move(target), std::move(action));
    }

    std::shared_ptr<ui::ImageView> gifView() { return images_.gifView(*this); }
    const std::map<RefreshState, Images>& stateImages() const { return images_.stateImages(); }
    const std::map<RefreshState, double>& stateDurations() const { return images_.stateDurations(); }
    void setImages(Images images, double duration, RefreshState state);
    void setImages(Images images, RefreshState state);

    void setPullingPercent(double percent) override;
    void setState(RefreshState state) override;

protected:
    void placeSubviews() override;

private:
    RefreshGifImages images_;
};

}  // namespace ql
