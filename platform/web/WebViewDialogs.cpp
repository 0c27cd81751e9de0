// The page's dialogs as the platform's alerts; the view's own navigation sent again, or in a page of its own when
// the page being left holds it up for good.

#include <functional>

#include "platform/ui/AlertView.h"
#include "platform/ui/TextField.h"
#include "platform/web/WebEngineFields.h"
#include "platform/web/WebPage.h"
#include "platform/web/WebView.h"

namespace ql::ui {

// Answers the page's dialog with the button tapped (and the text typed), once; disarmed when the view answers
// the dialog itself.
class WebViewDialogAnswer final : public AlertViewDelegate {
public:
    using Answer = std::function<void(bool accept, const std::string& text)>;
    explicit WebViewDialogAnswer(Answer answer) : answer_(std::move(answer)) {}

    void alertViewClickedButtonAtIndex(AlertView& alert, std::int64_t index) override {
        if (!answer_) return;
        const Answer answer = std::move(answer_);
        answer_ = nullptr;
        const auto field = alert.textFieldAtIndex(0);
        answer(index != alert.cancelButtonIndex(), field ? field->text() : std::string());
    }
    void disarm() { answer_ = nullptr; }

private:
    Answer answer_;
};

namespace {

constexpr std::string_view kAnswer = "Page.handleJavaScriptDialog";

}  // namespace

void WebView::dialogOpening(const ns::Dictionary& params) {
    const std::string type = textField(params, "type");
    // Leaving the page is never asked about.
    if (type == "beforeunload") {
        page_->send(kAnswer, {{"accept", ns::Value(true)}});
        return;
    }
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(shared_from_this());
    const std::uint64_t serial = pageSerial_;
    if (ownNavigation_ && !ownNavigation_->committed) {
        // The page is being left for the view's own navigation and cannot hold it up. Once the engine has
        // the next document ready, a dialog of the page left can no longer be answered and holds the view
        // for good: the navigation goes on in a page of its own.
        page_->send(kAnswer, {{"accept", ns::Value(false)}}, [weak, serial](const ns::Value&, const std::optional<std::string>& error) {
            auto self = weak.lock();
            if (error && self && self->pageSerial_ == serial) self->replacePage();
        });
        return;
    }
    dismissDialog();
    auto answer = std::make_shared<WebViewDialogAnswer>([weak, serial](bool accept, const std::string& text) {
        auto self = weak.lock();
        if (self && self->pageSerial_ == serial) self->answerDialog(accept, text);
    });
    const auto address = ns::URL::fromString(textField(params, "url"));
    // Titled with where the page came from, so no page can pass its text off as the app's.
    auto alert = std::make_shared<AlertView>(address ? address->host().value_or("") : std::string(), textField(params, "message"),
                                             answer, type == "alert" ? std::nullopt : std::optional<std::string>("Cancel"),
                                             std::vector<std::string>{"OK"});
    if (type == "prompt") {
        alert->setAlertViewStyle(AlertViewStyle::PlainTextInput);
        alert->textFieldAtIndex(0)->setText(textField(params, "defaultPrompt"));
    }
    dialog_ = OpenDialog{alert, answer};
    alert->show();
}

void WebView::answerDialog(bool accept, const std::string& text) {
    dialog_.reset();
    if (!page_ || !page_->isAlive()) return;
    if (page_->send(kAnswer, {{"accept", ns::Value(accept)}, {"promptText", ns::Value(text)}}) || !page_->isAlive()) return;
    // An answer larger than the engine takes (a prompt's default text is cut as it comes, so only a text
    // typed or pasted into the field could make one) goes as cancelled: the page never waits for ever.
    page_->send(kAnswer, {{"accept", ns::Value(false)}});
}

// The engine closed the dialog itself (its document went): the alert goes with it.
void WebView::dialogClosed() {
    if (!dialog_) return;
    const OpenDialog dialog = std::move(*dialog_);
    dialog_.reset();
    dialog.answer->disarm();
    if (dialog.alert->isVisible()) dialog.alert->dismissWithClickedButtonIndex(std::max<std::int64_t>(dialog.alert->cancelButtonIndex(), 0), false);
}

void WebView::dismissDialog() {
    if (!dialog_) return;
    dialogClosed();
    if (page_ && page_->isAlive()) page_->send(kAnswer, {{"accept", ns::Value(false)}});
}

void WebView::replacePage() {
    if (!ownNavigation_ || !loading_) return;
    OwnNavigation own = std::move(*ownNavigation_);
    own.loader.clear();
    own.reached = false;
    own.committed = false;
    own.resends = 0;
    const std::string url = own.URL;
    forgetPage();
    navigate(std::move(own), "Page.navigate", {{"url", ns::Value(url)}});
}

void WebView::resendOwnNavigation() {
    // A page that goes on taking the navigation's place is left behind altogether.
    constexpr int kResends = 3;
    OwnNavigation own = std::move(*ownNavigation_);
    own.loader.clear();
    own.reached = false;
    const std::string url = own.URL;
    if (++own.resends > kResends) {
        ownNavigation_ = std::move(own);
        replacePage();
        return;
    }
    navigate(std::move(own), "Page.navigate", {{"url", ns::Value(url)}});
}

void WebView::forgetPage() {
    dialogClosed();
    ++pageSerial_;
    page_.reset();
    ownNavigation_.reset();
    frameLoads_.clear();
    navigationReasons_.clear();
    startedNavigations_.clear();
    navigationsStarted_ = 0;
    staleBefore_ = 0;
    placing_ = 0;
    heldDocuments_.clear();
    for (auto& [id, task] : serving_) task->cancel();
    serving_.clear();
    renderingPending_ = false;
    renderingAgain_ = false;
}

}  // namespace ql::ui
