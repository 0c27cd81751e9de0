#pragma once
// What a web view told its delegate, as short lines: "should /path#fragment type", "start", "finish",
// "fail CODE", "ended" (its page's process); and a web view that records them.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/web/WebView.h"

namespace ql::test {

inline bool pumpUntil(const std::function<bool()>& condition, double seconds = 30) {
    return ns::RunLoop::main()->runUntil(condition, seconds);
}

inline const char* typeName(ui::WebViewNavigationType type) {
    switch (type) {
        case ui::WebViewNavigationType::LinkClicked: return "link";
        case ui::WebViewNavigationType::FormSubmitted: return "form";
        case ui::WebViewNavigationType::BackForward: return "backforward";
        case ui::WebViewNavigationType::Reload: return "reload";
        case ui::WebViewNavigationType::FormResubmitted: return "resubmit";
        case ui::WebViewNavigationType::Other: return "other";
    }
    return "?";
}

class WebViewRecorder final : public ui::WebViewDelegate {
public:
    bool webViewShouldStartLoadWithRequest(ui::WebView&, const ns::URLRequest& request,
                                           ui::WebViewNavigationType type) override {
        std::string path = request.URL() ? request.URL()->path() : std::string();
        if (request.URL() && request.URL()->fragment()) path += "#" + *request.URL()->fragment();
        const bool mainFrame = request.URL() && request.mainDocumentURL() &&
                               request.URL()->absoluteString() == request.mainDocumentURL()->absoluteString();
        events.push_back("should " + path + " " + typeName(type) + (mainFrame ? "" : " sub"));
        return !refusedPaths.contains(request.URL() ? request.URL()->path() : std::string());
    }
    void webViewDidStartLoad(ui::WebView&) override { events.push_back("start"); }
    void webViewDidFinishLoad(ui::WebView&) override { events.push_back("finish"); }
    void webViewDidFailLoadWithError(ui::WebView&, const ns::Error& error) override {
        events.push_back("fail " + std::to_string(error.code()));
        errors.push_back(error);
    }
    void webViewPageProcessDidEnd(ui::WebView&) override { events.push_back("ended"); }
    std::size_t count(const std::string& event) const {
        std::size_t n = 0;
        for (const auto& e : events) n += e == event;
        return n;
    }
    // Whether each load's end (finish or fail) follows a start not yet ended, and every start has ended.
    bool startsPairWithEnds() const {
        int open = 0;
        for (const auto& event : events) {
            open += event == "start";
            if ((event == "finish" || event.rfind("fail", 0) == 0) && --open < 0) return false;
        }
        return open == 0;
    }

    std::set<std::string> refusedPaths;
    std::vector<std::string> events;
    std::vector<ns::Error> errors;
};

// A web view whose delegate records what it is told.
struct RecordedPage {
    RecordedPage()
        : view(std::make_shared<ui::WebView>(cg::Rect{0, 0, 320, 480})), delegate(std::make_shared<WebViewRecorder>()) {
        view->setDelegate(delegate);
    }
    // Loads the address with only this load's events recorded.
    void load(const std::string& url) {
        delegate->events.clear();
        view->loadRequest(ns::URLRequest(ns::URL::fromString(url)));
        ASSERT_TRUE(pumpUntil([&] { return !view->isLoading(); }, 60));
    }
    std::string title() { return view->stringByEvaluatingJavaScriptFromString("document.title"); }
    std::shared_ptr<ui::WebView> view;
    std::shared_ptr<WebViewRecorder> delegate;
};

}  // namespace ql::test
