#pragma once
// RefreshAutoGifFooter: the auto state footer with an image animation while loading.

#include <memory>

#include "ui/refresh/RefreshAutoStateFooter.h"
#include "ui/refresh/RefreshGifImages.h"

namespace ql {

class RefreshAutoGifFooter : public RefreshAutoStateFooter {
    QL_OBJECT(RefreshAutoGifFooter, RefreshAutoStateFooter)
public:
    using Images = RefreshGifImages::Images;

    explicit RefreshAutoGifFooter(Passkey key) : RefreshAutoStateFooter(key) {}
    static std::shared_ptr<RefreshAutoGifFooter> footerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshAutoGifFooter>(std::move(block));
    }
    static std::shared_ptr<RefreshAutoGifFooter> footerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                            RefreshingAction action) {
        return make<RefreshAutoGifFooter>(std::move(target), std::move(action));
    }

    std::shared_ptr<ui::ImageView> gifView() { return images_.gifView(*this); }
    const std::map<RefreshState, Images>& stateImages() const { return images_.stateImages(); }
    const std::map<RefreshState, double>& stateDurations() const { return images_.stateDurations(); }
    // Only the images of the refreshing state are shown.
    void setImages(Images images, double duration, RefreshState state);
    void setImages(Images images, RefreshState state);

    void setState(RefreshState state) override;

protected:
    void placeSubviews() override;

private:
    RefreshGifImages images_;
};

}  // namespace ql
