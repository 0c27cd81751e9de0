#include "platform/web/WebPage.h"

#include "platform/web/WebEngineError.h"
#include "platform/web/WebEngineFields.h"

namespace ql::ui {
namespace {

ns::Error refused(const std::string& what) {
    return webEngineError(WebEngineErrorEnded, "The web engine could not open a page: " + what + ".");
}

std::string focusWatcher() {
    const std::string report(WebPage::kFocusBinding);
    return "(function() {"
           "function editing(e) { return !!e && (e.isContentEditable || e.tagName == 'INPUT' || e.tagName == 'TEXTAREA'); }"
           "addEventListener('focusin', function(event) { " + report + "(editing(event.target) ? 'editing' : 'none'); }, true);"
           "addEventListener('focusout', function() { " + report + "('none'); }, true);"
           "})();";
}

}  // namespace

std::unique_ptr<WebPage> WebPage::open(const std::vector<std::string_view>& methods, WebEngine::EventHandler handler,
                                       ns::Error* error) {
    auto engine = WebEngine::running(error);
    if (!engine) return nullptr;
    std::string problem;
    const std::string target = textField(
        fieldsOf(engine->call("Target.createTarget", {{"url", ns::Value("about:blank")}}, "", &problem)), "targetId");
    if (target.empty()) {
        if (error) *error = refused(problem.empty() ? "no target" : problem);
        return nullptr;
    }
    const ns::Value attached = engine->call(
        "Target.attachToTarget", {{"targetId", ns::Value(target)}, {"flatten", ns::Value(true)}}, "", &problem);
    const std::string session = textField(fieldsOf(attached), "sessionId");
    if (session.empty()) {
        engine->send("Target.closeTarget", {{"targetId", ns::Value(target)}}, "");
        if (error) *error = refused(problem.empty() ? "no session" : problem);
        return nullptr;
    }
    engine->setSessionHandler(session, target, methods, std::move(handler));
    std::unique_ptr<WebPage> page(new WebPage(engine, target, session));
    page->call("Page.enable", {});
    // Input goes to the page as to the one in front, whether or not the engine thinks it is.
    page->send("Emulation.setFocusEmulationEnabled", {{"enabled", ns::Value(true)}});
    // For the focus binding's reports, which the engine makes only with the runtime domain on; its other
    // events (console messages among them) are not listened for, so they are passed over unread.
    page->send("Runtime.enable", {});
    page->send("Runtime.addBinding", {{"name", ns::Value(kFocusBinding)}});
    page->send("Page.addScriptToEvaluateOnNewDocument", {{"source", ns::Value(focusWatcher())}});
    // Held requests then name the navigation they belong to (its loader); no bodies are kept for the domain,
    // and its own events, which are not listened for, carry no request body (the held request's event has
    // it): a large one would take the engine as long again to make and hand over.
    page->send("Network.enable", {{"maxTotalBufferSize", ns::Value(0)},
                                  {"maxResourceBufferSize", ns::Value(0)},
                                  {"maxPostDataSize", ns::Value(1)}});
    ns::Array patterns{ns::Value(ns::Dictionary{{"urlPattern", ns::Value("*")}})};
    // Nothing may reach the network past the platform's URL loading, so the page waits for this.
    if (page->call("Fetch.enable", {{"patterns", ns::Value(std::move(patterns))}}, &problem).isNil()) {
        if (error) *error = refused(problem);
        return nullptr;
    }
    return page;
}

WebPage::~WebPage() {
    engine_->removeSession(session_);
    if (isAlive()) engine_->send("Target.closeTarget", {{"targetId", ns::Value(target_)}}, "");
}

bool WebPage::send(std::string_view method, ns::Dictionary params, WebEngine::ReplyHandler reply) const {
    return engine_->send(method, std::move(params), session_, std::move(reply));
}

ns::Value WebPage::call(std::string_view method, ns::Dictionary params, std::string* error, double timeout) const {
    return engine_->call(method, std::move(params), session_, error, timeout);
}

}  // namespace ql::ui
