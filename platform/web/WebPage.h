#pragma once
// ui::WebPage: one page target of the shared engine, attached as one session, for one web view. Opened on
// the view's first load, closed with the view. Every request of the page is held for the view to serve
// (the protocol's request interception, all resource types).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/web/WebEngine.h"

namespace ql::ui {

class WebPage {
public:
    // Every document of the page tells through this function whether an editable element took the focus
    // ("editing") or none has it ("none").
    static constexpr std::string_view kFocusBinding = "__qlFocusChanged";

    // A page on the running engine (started when needed) whose events of the methods named go to `handler`
    // on the main queue; null with the reason when there is no engine or it refuses.
    static std::unique_ptr<WebPage> open(const std::vector<std::string_view>& methods, WebEngine::EventHandler handler,
                                         ns::Error* error);

    WebPage(const WebPage&) = delete;
    WebPage& operator=(const WebPage&) = delete;
    ~WebPage();

    // False once the engine under the page has ended.
    bool isAlive() const { return engine_->isAlive() && !ended_; }
    void markEnded() { ended_ = true; }
    // The main frame's id (the target's own).
    const std::string& mainFrame() const { return target_; }
    WebEngine& engine() const { return *engine_; }

    // False when the command was not sent (see WebEngine::send).
    bool send(std::string_view method, ns::Dictionary params, WebEngine::ReplyHandler reply = {}) const;
    ns::Value call(std::string_view method, ns::Dictionary params, std::string* error = nullptr,
                   double timeout = WebEngine::kCallTimeout) const;

private:
    WebPage(std::shared_ptr<WebEngine> engine, std::string target, std::string session)
        : engine_(std::move(engine)), target_(std::move(target)), session_(std::move(session)) {}

    std::shared_ptr<WebEngine> engine_;
    std::string target_;
    std::string session_;
    bool ended_ = false;
};

}  // namespace ql::ui
