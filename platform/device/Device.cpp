#include "platform/device/Device.h"

#include "platform/device/Screenshot.h"
#include "platform/device/ViewQuery.h"
#include "platform/device/ViewTreeDump.h"
#include "platform/foundation/Class.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Runtime.h"
#include "platform/ui/Device.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/MessageComposers.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TraitCollection.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace ql::sim {

namespace {

bool deviceExists = false;

bool isLandscape(ui::InterfaceOrientation orientation) {
    return orientation == ui::InterfaceOrientation::LandscapeLeft ||
           orientation == ui::InterfaceOrientation::LandscapeRight;
}

// Turning the device one way turns the interface the other: the device's landscape left is the
// interface's landscape right.
ui::DeviceOrientation deviceOrientationFor(ui::InterfaceOrientation orientation) {
    switch (orientation) {
        case ui::InterfaceOrientation::Portrait: return ui::DeviceOrientation::Portrait;
        case ui::InterfaceOrientation::PortraitUpsideDown: return ui::DeviceOrientation::PortraitUpsideDown;
        case ui::InterfaceOrientation::LandscapeLeft: return ui::DeviceOrientation::LandscapeRight;
        case ui::InterfaceOrientation::LandscapeRight: return ui::DeviceOrientation::LandscapeLeft;
        case ui::InterfaceOrientation::Unknown: break;
    }
    return ui::DeviceOrientation::Unknown;
}

}  // namespace

Device::Device(const ScreenProfile& profile, Time time) : profile_(profile) {
    ui::assertMainThread();
    profile_.validate();
    if (deviceExists) throw ns::Exception(ns::InternalInconsistencyException, "only one device can exist at a time");
    deviceExists = true;
    if (time == Time::Manual) clock_.emplace();
    ui::Device::currentDevice().setUserInterfaceIdiom(profile_.idiom);
    ui::Device::currentDevice().setOrientation(ui::DeviceOrientation::Portrait);
    application().setStatusBarOrientation(ui::InterfaceOrientation::Portrait);
    applyScreen();
    ui::ViewController::setRotationAttemptHandler([this] { attemptRotation(); });
}

Device::~Device() {
    try {
        shutDown();
    } catch (const std::exception&) {
        // What is left of a failed app is not worth a crash in a destructor; the screen is put back below.
    }
    ui::Screen::mainScreen().setBounds(ui::Screen::kDefaultBounds);
    ui::Screen::mainScreen().setScale(2);
    ui::Device::currentDevice().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
    ui::Device::currentDevice().setOrientation(ui::DeviceOrientation::Portrait);
    application().setStatusBarOrientation(ui::InterfaceOrientation::Portrait);
    application().setOpenableURLSchemes(ui::Application::systemURLSchemes());
    ui::ViewController::setRotationAttemptHandler({});
    ui::MailComposeViewController::setCanSendMail(true);
    ui::MessageComposeViewController::setCanSendText(true);
    ui::MailComposeViewController::outbox().clear();
    ui::MessageComposeViewController::outbox().clear();
    clock_.reset();
    deviceExists = false;
}

// The keyboard goes away, the windows are hidden and the delegate (with the windows it holds) is let go,
// so that the next device boots into an empty application.
void Device::shutDown() {
    ui::Application& app = application();
    for (const auto& window : app.windows()) window->endEditing(true);
    MainLoop::runUntilIdle();
    for (const auto& window : app.windows()) window->setHidden(true);
    if (booted_) app.setDelegate(nullptr);
    MainLoop::runReadyWork();
}

// ---- Start ----

bool Device::boot(const DelegateFactory& makeDelegate, const ns::Dictionary& launchOptions) {
    if (booted_) throw ns::Exception(ns::InternalInconsistencyException, "the device has booted already");
    if (!makeDelegate) throw ns::Exception(ns::InvalidArgumentException, "booting needs a way to make the delegate");
    ns::Runtime::runLoadHooks();
    auto delegate = makeDelegate();
    if (!delegate) throw ns::Exception(ns::InvalidArgumentException, "the delegate factory made no delegate");
    booted_ = true;
    const bool answer = application().launch(std::move(delegate), launchOptions);
    MainLoop::runReadyWork();
    return answer;
}

bool Device::boot(std::string_view delegateClassName, const ns::Dictionary& launchOptions) {
    const std::string name(delegateClassName);
    return boot([name]() -> std::shared_ptr<ui::ApplicationDelegate> {
        const ns::Class* cls = ns::Class::named(name);
        if (!cls || !cls->canCreateInstances()) {
            throw ns::Exception(ns::InvalidArgumentException, "no class named \"" + name + "\" can be made");
        }
        auto delegate = std::dynamic_pointer_cast<ui::ApplicationDelegate>(cls->createInstance());
        if (!delegate) throw ns::Exception(ns::InvalidArgumentException, name + " is not an application delegate");
        return delegate;
    }, launchOptions);
}

ui::Application& Device::application() const { return ui::Application::sharedApplication(); }

std::shared_ptr<ui::Window> Device::keyWindow() const { return application().keyWindow(); }

std::shared_ptr<ui::Window> Device::requireKeyWindow() const {
    auto window = keyWindow();
    if (!window) throw ns::Exception(ns::InternalInconsistencyException, "there is no key window");
    return window;
}

void Device::requireBooted(std::string_view what) const {
    if (!booted_) {
        throw ns::Exception(ns::InternalInconsistencyException, std::string(what) + " needs a booted application");
    }
}

// ---- Screen ----

void Device::applyScreen() {
    const cg::Size upright = profile_.portraitSize;
    const cg::Size size = isLandscape(orientation_) ? cg::Size{upright.height, upright.width} : upright;
    ui::Screen::mainScreen().setBounds({{0, 0}, size});
    ui::Screen::mainScreen().setScale(profile_.scale);
}

void Device::rotate(ui::InterfaceOrientation orientation) {
    if (orientation == ui::InterfaceOrientation::Unknown) {
        throw ns::Exception(ns::InvalidArgumentException, "the device cannot turn to an unknown orientation");
    }
    ui::Device::currentDevice().setOrientation(deviceOrientationFor(orientation));
    if (orientation == orientation_) return;
    ui::Application& app = application();
    const auto eachController = [&app](const std::function<void(ui::ViewController&)>& visit) {
        for (const auto& window : app.windows()) {
            if (const auto& root = window->rootViewController()) ui::ViewController::forEachControllerInTree(*root, visit);
        }
    };
    // A controller on screen may keep the interface as it is; the device has turned all the same, and a
    // later attempt catches up with it.
    bool allowed = true;
    eachController([&](ui::ViewController& c) { allowed = allowed && c.shouldAutorotate(); });
    if (!allowed) return;

    const double duration = ui::ViewController::kRotationDuration;
    eachController([&](ui::ViewController& c) { c.willRotateToInterfaceOrientation(orientation, duration); });
    const cg::Rect before = ui::Screen::mainScreen().bounds();
    const ui::UserInterfaceIdiom idiom = ui::Device::currentDevice().userInterfaceIdiom();
    const ui::TraitCollection oldTraits = ui::TraitCollection::forScreen(before.size, idiom);
    const ui::InterfaceOrientation previous = orientation_;
    orientation_ = orientation;
    applyScreen();
    const cg::Rect after = ui::Screen::mainScreen().bounds();
    const ui::TraitCollection newTraits = ui::TraitCollection::forScreen(after.size, idiom);
    if (oldTraits != newTraits) eachController([&](ui::ViewController& c) { c.willTransitionToTraitCollection(newTraits); });
    for (const auto& window : app.windows()) {
        if (window->frame() == before) {
            window->setFrame(after);
            window->layoutIfNeeded();
        }
    }
    eachController([&](ui::ViewController& c) { c.willAnimateRotationToInterfaceOrientation(orientation, duration); });
    // Told last, so that observers of the turn find the windows already filling the turned screen.
    app.setStatusBarOrientation(orientation);
    if (oldTraits != newTraits) eachController([&](ui::ViewController& c) { c.traitCollectionDidChange(oldTraits); });
    ui::Keyboard& keyboard = ui::Keyboard::shared();
    if (auto key = keyWindow(); key && keyboard.isVisible()) {
        if (ui::Responder* responder = key->firstResponder()) keyboard.reload(*responder);
    }
    // Only the latest turn ends with did-rotate, and none once this device is gone.
    const std::uint64_t turn = ++*turns_;
    std::weak_ptr<std::uint64_t> turns = turns_;
    ns::DispatchQueue::main()->after(duration, [turns, turn, eachController, previous] {
        auto latest = turns.lock();
        if (latest && *latest == turn) eachController([&](ui::ViewController& c) { c.didRotateFromInterfaceOrientation(previous); });
    });
    MainLoop::runReadyWork();
}

void Device::attemptRotation() {
    const ui::DeviceOrientation facing = ui::Device::currentDevice().orientation();
    for (const auto interface : {ui::InterfaceOrientation::Portrait, ui::InterfaceOrientation::PortraitUpsideDown,
                                 ui::InterfaceOrientation::LandscapeLeft, ui::InterfaceOrientation::LandscapeRight}) {
        if (deviceOrientationFor(interface) == facing && interface != orientation_) rotate(interface);
    }
}

// ---- Finding views ----

std::vector<std::shared_ptr<ui::View>> Device::findAll(std::string_view words) const { return findViews(words); }

std::shared_ptr<ui::View> Device::find(std::string_view words) const {
    auto found = findAll(words);
    return found.empty() ? nullptr : found.front();
}

// ---- The system ----

void Device::sendMemoryWarning() {
    requireBooted("a memory warning");
    application().receiveMemoryWarning();
    MainLoop::runReadyWork();
}

void Device::sendToBackground() {
    requireBooted("going to the background");
    application().enterBackground();
    MainLoop::runReadyWork();
}

void Device::bringToForeground() {
    requireBooted("coming to the foreground");
    application().enterForeground();
    MainLoop::runReadyWork();
}

void Device::terminate() {
    requireBooted("termination");
    application().terminate();
    MainLoop::runReadyWork();
}

// ---- Looking ----

std::shared_ptr<const cg::Image> Device::screenshot() {
    const auto window = requireKeyWindow();
    MainLoop::runReadyWork();
    return renderWindow(*window);
}

ns::Data Device::screenshotPNG() {
    const auto window = requireKeyWindow();
    MainLoop::runReadyWork();
    return renderWindowPNG(*window);
}

void Device::writeScreenshot(const std::string& path) {
    const ns::Data png = screenshotPNG();
    ns::Error error("", 0);
    if (!ns::writeToFile(png, path, ns::DataWritingAtomic, &error)) {
        throw ns::Exception(ns::InvalidArgumentException,
                            "the screenshot could not be written to " + path + ": " + error.localizedDescription());
    }
}

std::string Device::viewTree() const { return dumpViewTree(*requireKeyWindow()); }

}  // namespace ql::sim
