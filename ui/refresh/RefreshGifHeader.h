#pragma once
// RefreshGifHeader: the state header with an image animation per state; while idle the images follow
// how far the header is pulled out.

#include <memory>

#include "ui/refresh/RefreshGifImages.h"
#include "ui/refresh/RefreshStateHeader.h"

namespace ql {

class RefreshGifHeader : public RefreshStateHeader {
    QL_OBJECT(RefreshGifHeader, RefreshStateHeader)
public:
    using Images = RefreshGifImages::Images;

    explicit RefreshGifHeader(Passkey key) : RefreshStateHeader(key) {}
    static std::shared_ptr<RefreshGifHeader> headerWithRefreshingBlock(RefreshingBlock block) {
        return make<RefreshGifHeader>(std::move(block));
    }
    static std::shared_ptr<RefreshGifHeader> headerWithRefreshingTarget(std::weak_ptr<ns::Object> target,
                                                                        RefreshingAction action) {
        return make<RefreshGifHeader>(std::move(target), std::move(action));
    }

    std::shared_ptr<ui::ImageView> gifView() { return images_.gifView(*this); }
    const std::map<RefreshState, Images>& stateImages() const { return images_.stateImages(); }
    const std::map<RefreshState, double>& stateDurations() const { return images_.stateDurations(); }
    void setImages(Images images, double duration, RefreshState state);
    // A tenth of a second per image.
    void setImages(Images images, RefreshState state);

    void setPullingPercent(double percent) override;
    void setState(RefreshState state) override;

protected:
    void placeSubviews() override;

private:
    RefreshGifImages images_;
};

}  // namespace ql
