#include "tools/quillory/AppDriver.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "app/service/BaseNetHTTPManager.h"
#include "app/shell/AppStart.h"
#include "app/shell/MainViewController.h"
#include "app/uikit/BasicVC.h"
#include "images/webimage/WebImageManager.h"
#include "platform/device/RealTimePace.h"
#include "platform/device/ViewQuery.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Text.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"
#include "tools/quillory/Interruption.h"
#include "tools/quillory/ReplyLimit.h"
#include "tools/standin-service/StandinService.h"

namespace ql::quillory {

namespace {

// Shorter than the countdown's tick, longer than any transition: settling lets the screen finish moving
// without running a countdown down.
constexpr double kIdleHorizon = 0.5;

std::shared_ptr<ui::ViewController> topOf(std::shared_ptr<ui::ViewController> controller) {
    while (controller) {
        if (auto presented = controller->presentedViewController()) {
            controller = presented;
        } else if (auto* navigation = dynamic_cast<ui::NavigationController*>(controller.get())) {
            auto top = navigation->topViewController();
            if (!top) break;
            controller = top;
        } else if (auto* shell = dynamic_cast<MainViewController*>(controller.get())) {
            if (!shell->currentVC()) break;
            controller = shell->currentVC();
        } else {
            break;
        }
    }
    return controller;
}

// The part of a view in a window that lies inside every clipping view above it and the window, in the
// window's coordinates.
cg::Rect visiblePart(const ui::View& view) {
    cg::Rect visible = view.convertRectToView(view.bounds(), nullptr);
    for (const ui::View* v = view.superview(); v; v = v->superview()) {
        if (v->clipsToBounds()) visible = cg::rectIntersection(visible, v->convertRectToView(v->bounds(), nullptr));
    }
    return cg::rectIntersection(visible, view.window()->bounds());
}

bool onScreen(const ui::View& view) {
    if (!view.window() || !sim::isShown(view)) return false;
    return !cg::rectIsEmpty(visiblePart(view));
}

// A view of its own screen lies over it: a person does not see it at all (an overlay in a window of its own
// is another matter: the view is there, only covered for now).
bool hiddenWithinItsWindow(ui::View& view) {
    ui::Window* window = view.window();
    if (!window || !onScreen(view)) return true;
    const cg::Rect frame = view.convertRectToView(view.bounds(), nullptr);
    const ui::View* hit = window->hitTest({cg::midX(frame), cg::midY(frame)}, nullptr);
    return !hit || !(hit == &view || hit->isDescendantOfView(&view) || view.isDescendantOfView(hit));
}

// The largest scrolling view a finger reaches in the window that scrolls the way of the swipe.
ui::ScrollView* largestScrollingAlong(ui::View& view, bool horizontal, ui::ScrollView* largest, double& largestArea) {
    if (!sim::isShown(view)) return largest;
    if (auto* scroll = dynamic_cast<ui::ScrollView*>(&view); scroll && scroll->isScrollEnabled()) {
        const cg::Point least = scroll->minimumContentOffset(), most = scroll->maximumContentOffset();
        const bool scrolls = horizontal ? most.x > least.x : most.y > least.y;
        const cg::Rect visible = onScreen(view) ? visiblePart(view) : cg::Rect::zero();
        const double area = visible.size.width * visible.size.height;
        if (scrolls && area > largestArea && !hiddenWithinItsWindow(view)) {
            largest = scroll;
            largestArea = area;
        }
    }
    for (const auto& subview : view.subviews()) largest = largestScrollingAlong(*subview, horizontal, largest, largestArea);
    return largest;
}

// What a person swipes across: the list or the pages the screen shows (the largest that scrolls that way), so
// that a swipe starts on them and not on a header above them; the whole window when nothing scrolls so.
ui::View& swipedView(ui::Window& window, sim::Device::Direction direction) {
    const bool horizontal = direction == sim::Device::Direction::Left || direction == sim::Device::Direction::Right;
    double area = 0;
    ui::ScrollView* list = largestScrollingAlong(window, horizontal, nullptr, area);
    return list ? static_cast<ui::View&>(*list) : window;
}

// Subviews in the order a person reads them: as drawn, except that the rows of a list (which it keeps in
// no particular order) go from the top of the screen down.
std::vector<std::shared_ptr<ui::View>> inReadingOrder(const ui::View& view) {
    std::vector<std::shared_ptr<ui::View>> subviews = view.subviews();
    if (!dynamic_cast<const ui::ScrollView*>(&view)) return subviews;
    std::vector<std::size_t> places;
    std::vector<std::shared_ptr<ui::View>> rows;
    for (std::size_t i = 0; i < subviews.size(); ++i) {
        if (!dynamic_cast<const ui::TableViewCell*>(subviews[i].get())) continue;
        places.push_back(i);
        rows.push_back(subviews[i]);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return cg::minY(a->frame()) < cg::minY(b->frame()); });
    for (std::size_t i = 0; i < places.size(); ++i) subviews[places[i]] = rows[i];
    return subviews;
}

void collectTexts(const ui::View& view, std::vector<std::string>& texts) {
    if (!sim::isShown(view)) return;
    if (onScreen(view)) {
        if (auto field = dynamic_cast<const ui::TextField*>(&view)) {
            if (!field->text().empty()) {
                texts.push_back(*sim::textOf(*field));
            } else if (field->placeholder()) {
                texts.push_back("[" + *field->placeholder() + "]");
            }
            return;
        }
        if (auto text = sim::textOf(view); text && !text->empty()) texts.push_back(*text);
        // The overlay's spinner says "wait" without words.
        if (auto spinner = dynamic_cast<const ui::ActivityIndicatorView*>(&view); spinner && spinner->isAnimating()) {
            texts.push_back("(spinner)");
        }
    }
    for (const auto& subview : inReadingOrder(view)) collectTexts(*subview, texts);
}

}  // namespace

AppDriver::AppDriver(const sim::ScreenProfile& profile, std::string shotsDirectory, double replyLimit)
    : device_(profile), shotsDirectory_(std::move(shotsDirectory)), replyLimit_(replyLimit) {}

// What waiting for the app keeps within one command: the app's clock keeping pace with real time from the
// command's start, and how long each reply has been waited for.
struct AppDriver::Waiting {
    explicit Waiting(double replyLimit) : replies(replyLimit) {}

    sim::RealTimePace pace;
    ReplyLimit replies;
};

void AppDriver::boot() {
    Waiting waiting(replyLimit_);
    bootWithoutWaiting();
    settle(waiting);
    launchUnsettled_ = false;
}

void AppDriver::bootWithoutWaiting() {
    registerAppLoadHooks();
    device_.boot(&makeAppDelegate);
    device_.runUntilIdle(kIdleHorizon);
    launchUnsettled_ = true;
}

namespace {

// Service calls whose block has not run, and pictures still coming.
bool waitingForTheNetwork() {
    return BaseNetHTTPManager::formPostsInFlight() != 0 || WebImageManager::sharedManager()->isRunning();
}

// The replies the app awaits, each by a key of its own for as long as it is awaited: a service call by its
// serial; the calls whose request could not be made (their failure on its way) as one, and the pictures
// coming as one, each of which has a time-out of its own in the app.
constexpr ReplyLimit::Key kCallsWithoutRequest = std::numeric_limits<ReplyLimit::Key>::max();
constexpr ReplyLimit::Key kPictures = kCallsWithoutRequest - 1;

std::vector<ReplyLimit::Key> awaitedReplies() {
    std::vector<ReplyLimit::Key> keys;
    const std::vector<FormPostInFlight> calls = BaseNetHTTPManager::formPostCallsInFlight();
    for (const FormPostInFlight& call : calls) keys.push_back(call.serial);
    if (BaseNetHTTPManager::formPostsInFlight() > calls.size()) keys.push_back(kCallsWithoutRequest);
    if (WebImageManager::sharedManager()->isRunning()) keys.push_back(kPictures);
    return keys;
}

}  // namespace

bool AppDriver::waitingOnlyForHeldReplies() const {
    if (!standin_ || WebImageManager::sharedManager()->isRunning()) return false;
    const std::vector<FormPostInFlight> calls = BaseNetHTTPManager::formPostCallsInFlight();
    if (calls.size() != BaseNetHTTPManager::formPostsInFlight()) return false;
    const std::string base = standin_->baseURL();
    return std::ranges::all_of(calls, [&](const FormPostInFlight& call) {
        return call.url.starts_with(base) && standin_->holds(std::string_view(call.url).substr(base.size()));
    });
}

void AppDriver::settle() {
    Waiting waiting(replyLimit_);
    settle(waiting);
}

void AppDriver::settle(Waiting& waiting) {
    for (;;) {
        waitForTheNetwork(waiting);
        device_.runUntilIdle(kIdleHorizon);
        if (!waitingForTheNetwork()) return;
    }
}

void AppDriver::waitForTheNetwork(Waiting& waiting) {
    const auto heldOnly = [this] { return waitingForTheNetwork() && waitingOnlyForHeldReplies(); };
    // Looked at whenever the clock has moved, so that a call sent meanwhile counts from then on.
    const auto overdue = [&waiting] {
        const double now = ns::Clock::steadyRealTime();
        waiting.replies.note(awaitedReplies(), now);
        return waiting.replies.left(now) <= 0;
    };
    while (waitingForTheNetwork()) {
        Interruption::check();
        if (overdue()) {
            throw ScriptError("a reply from the service did not come in full within " + std::to_string(int(replyLimit_)) +
                              " s");
        }
        if (heldOnly()) {
            // A held reply comes only after the script's release, which no settling command can reach: the
            // clock goes from deadline to deadline up to the app's own time-out, so no real time passes that
            // anything could race.
            device_.runUntil([&] { return Interruption::requested() || !heldOnly(); }, BaseNetHTTPManager::kRequestTimeout);
            waiting.pace.restart();
        } else {
            // The service answers in real time, and the app's clock keeps pace with it: a reply slower than the
            // app's own time-out comes too late for the app, as on a phone. An overdue reply is seen before the
            // clock moves on for the real time that made it overdue.
            waiting.pace.runUntil(
                [&] { return Interruption::requested() || !waitingForTheNetwork() || heldOnly() || overdue(); },
                waiting.replies.left(ns::Clock::steadyRealTime()));
        }
    }
}

namespace {

// What a finger, the keyboard or a released reply does, as against looking at the screen or letting time pass.
bool changesTheScreen(const ScriptCommand& command) {
    using Kind = ScriptCommand::Kind;
    return command.kind != Kind::Wait && command.kind != Kind::Tree && command.kind != Kind::Shot;
}

}  // namespace

std::shared_ptr<ui::ViewController> AppDriver::topController() const {
    auto window = device_.keyWindow();
    return window ? topOf(window->rootViewController()) : nullptr;
}

ScreenSummary AppDriver::screen() const {
    ScreenSummary summary;
    if (auto top = topController()) {
        summary.controller = std::string(top->className());
        summary.title = top->title().value_or("");
    }
    for (const auto& window : ui::Application::sharedApplication().windows()) collectTexts(*window, summary.texts);
    return summary;
}

std::string AppDriver::describe(const ScreenSummary& summary) {
    std::string text = summary.controller;
    if (!summary.title.empty()) text += " \"" + summary.title + "\"";
    text += "\n  ";
    for (std::size_t i = 0; i < summary.texts.size(); ++i) {
        if (i) text += " | ";
        text += summary.texts[i];
    }
    return text;
}

std::string AppDriver::shot(const std::string& name) {
    const std::string path = shotsDirectory_ + "/" + name + ".png";
    device_.writeScreenshot(path);
    return path;
}

std::string AppDriver::run(const ScriptCommand& command) {
    Interruption::check();
    std::string output;
    try {
        // Real time counts from the command's start, so that what passes while it is done passes for the app.
        Waiting waiting(replyLimit_);
        if (std::exchange(launchUnsettled_, false) && command.waits) settle(waiting);
        perform(command, output);
        if (!changesTheScreen(command)) {
            // Looking and waiting move the app's clock no further than the script asks: letting the screen come
            // to rest would run what falls due soon after. Only a reply still on its way is waited for.
            if (command.waits && waitingForTheNetwork()) settle(waiting);
        } else if (command.waits) {
            settle(waiting);
        } else {
            device_.runUntilIdle(kIdleHorizon);
        }
    } catch (const ScriptError& error) {
        const std::string prefix = "line " + std::to_string(command.line) + ": ";
        if (std::string_view(error.what()).starts_with(prefix)) throw;
        throw ScriptError(prefix + error.what());
    } catch (const ns::Exception& error) {
        // What a person reads: the reason, not the platform's exception name.
        throw ScriptError("line " + std::to_string(command.line) + ": " + error.reason());
    } catch (const std::exception& error) {
        throw ScriptError("line " + std::to_string(command.line) + ": " + error.what());
    }
    return output;
}

void AppDriver::perform(const ScriptCommand& command, std::string& output) {
    using Kind = ScriptCommand::Kind;
    switch (command.kind) {
        case Kind::Tap: {
            auto view = device_.find(command.text);
            if (!view) throw ScriptError("nothing on the screen shows \"" + command.text + "\"");
            device_.tap(*view);
            break;
        }
        case Kind::Type: device_.type(command.text); break;
        case Kind::Clear: {
            auto window = device_.keyWindow();
            auto* field = window ? dynamic_cast<ui::TextField*>(window->firstResponder()) : nullptr;
            if (!field) throw ScriptError("no text field has the focus");
            if (!field->text().empty()) device_.pressBackspace(int(ns::utf16Length(field->text())));
            break;
        }
        case Kind::Swipe: {
            auto window = device_.keyWindow();
            if (!window) throw ScriptError("nothing is on the screen");
            device_.swipe(swipedView(*window, command.direction), command.direction);
            break;
        }
        case Kind::Wait: device_.advance(command.seconds); break;
        case Kind::Shot: output = shot(command.text); break;
        case Kind::Tree: output = describe(screen()); break;
        case Kind::Back: {
            auto screen = std::dynamic_pointer_cast<BasicVC>(topController());
            auto bar = screen ? screen->navgationBar() : nullptr;
            if (!bar || !bar->buttonBack() || hiddenWithinItsWindow(*bar->buttonBack())) {
                throw ScriptError("this screen has no back button");
            }
            device_.tap(*bar->buttonBack());
            break;
        }
        case Kind::Release:
            if (!standin_) throw ScriptError("release needs the in-process stand-in service, which --service replaces");
            // Holds are the command line's only faults: what comes after the release is answered at once.
            standin_->clearFaults();
            standin_->releaseHeldReplies();
            break;
    }
}

}  // namespace ql::quillory
