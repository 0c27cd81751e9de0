#pragma once
// The common ground of the three tab roots: each loads what it shows when it appears with a student signed
// in and nothing loaded yet (the first time, and again after a load that failed), and whenever a silent
// sign-in posts "loginSuccess" (even before its view has loaded); and each draws a white card under the
// title bar for its content. A load from the service follows the service convention: the progress overlay
// while the student waits on it, then the content, the refusal's message or "无网络连接".

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/service/BaseNetHTTPManager.h"
#include "app/service/BaseRsp.h"
#include "app/uikit/BasicVC.h"

namespace ql::ui {
class Label;
}

namespace ql {

class TabRootScreen : public BasicVC {
    QL_OBJECT(TabRootScreen, BasicVC)
public:
    void viewWillAppear(bool animated) override;
    // Starts following "loginSuccess". Called as the screen is made, so that a tab whose view has not
    // loaded yet still hears of a sign-in.
    void listenForSignIn();

    // Asks again for what the tab shows; does nothing without a signed-in student.
    virtual void reloadContent() = 0;

    // How often the content was asked for, for tests and the run command.
    int reloadCount() const { return reloadCount_; }
    // Whether the tab shows content for the signed-in student: false until a load succeeds and again after
    // one fails, so that the tab loads once more the next time it appears.
    bool hasContent() const { return content_ == Content::Shown; }
    bool isLoading() const { return content_ == Content::Loading; }

protected:
    using Send = std::function<void(BaseNetHTTPManager::Completion, BaseNetHTTPManager::Failure)>;

    TabRootScreen() = default;

    // The content comes with the session, without a call: it is shown now.
    void contentShown();
    // One load through the service: `send` makes the call with the two blocks; `use` takes a reply whose
    // `result` is 1, mapped into `Rsp`, together with the reply as it came. Only the latest load's reply
    // counts: one overtaken by a newer load is dropped.
    template <class Rsp>
    void loadFromService(const Send& send, std::function<void(const std::shared_ptr<Rsp>&, const ns::Value&)> use) {
        const std::uint64_t load = beginLoad();
        auto self = std::static_pointer_cast<TabRootScreen>(shared_from_this());
        send(
            [self, load, use = std::move(use)](const ns::Value& reply) {
                auto rsp = replyModel<Rsp>(reply);
                if (self->endLoad(load, rsp->result == 1, rsp->msg)) use(rsp, reply);
            },
            [self, load](const std::string&) { self->endLoad(load, false, std::nullopt); });
    }

    // A rounded white card at `frame` on the screen's view.
    std::shared_ptr<ui::View> addCard(const cg::Rect& frame);
    // Where a list starting `top` points down the screen fits: inset like the cards, ending above the tab
    // bar and its raised item.
    cg::Rect listFrame(double top);
    // A label on `parent`.
    static std::shared_ptr<ui::Label> addLabel(ui::View& parent, const cg::Rect& frame, double fontSize, bool bold = false);

private:
    enum class Content { None, Loading, Shown };

    // Counts the load, marks the content loading and shows the overlay when the student is looking at the
    // tab. Gives the load's number.
    std::uint64_t beginLoad();
    // The end of load `load`: true when it is the latest and succeeded. A refusal shows `refusal` (nullopt:
    // the call failed in transport), and the content counts as not loaded.
    bool endLoad(std::uint64_t load, bool succeeded, const std::optional<std::string>& refusal);
    void showOverlay();
    void hideOverlay();

    Content content_ = Content::None;
    std::uint64_t latestLoad_ = 0;
    // The progress overlay is one for the whole app: a tab takes down only the overlay it put up.
    bool overlayShown_ = false;
    int reloadCount_ = 0;
};

}  // namespace ql
