#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Runtime.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Text.h"
#include "platform/graphics/ImageSource.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

using namespace ql;
using namespace ql::ui;

namespace {

std::vector<std::string>& events() {
    static std::vector<std::string> list;
    return list;
}

class Root : public ViewController {
public:
    void didReceiveMemoryWarning() override { events().push_back("controller memory warning"); }
};

// Shows a white root view in a key window, and writes down what the application tells it.
class TestDelegate : public ns::Object, public ApplicationDelegate {
    QL_OBJECT(TestDelegate, ns::Object)
public:
    TestDelegate() { events().push_back("delegate made"); }
    bool applicationWillFinishLaunchingWithOptions(Application&, const ns::Dictionary&) override {
        events().push_back("will finish launching");
        return true;
    }
    bool applicationDidFinishLaunchingWithOptions(Application&, const ns::Dictionary&) override {
        events().push_back("did finish launching");
        window_ = std::make_shared<Window>();
        root->view()->setBackgroundColor(Color::whiteColor());
        window_->setRootViewController(root);
        window_->makeKeyAndVisible();
        return true;
    }
    void applicationDidBecomeActive(Application&) override { events().push_back("active"); }
    void applicationWillResignActive(Application&) override { events().push_back("resign active"); }
    void applicationDidEnterBackground(Application&) override { events().push_back("background"); }
    void applicationWillEnterForeground(Application&) override { events().push_back("foreground"); }
    void applicationWillTerminate(Application&) override { events().push_back("terminate"); }
    void applicationDidReceiveMemoryWarning(Application&) override { events().push_back("memory warning"); }
    std::shared_ptr<Window> window() const override { return window_; }

    std::shared_ptr<Root> root = std::make_shared<Root>();

private:
    std::shared_ptr<Window> window_;
};

// Names of the notifications posted while it lives.
class NotificationLog {
public:
    explicit NotificationLog(std::vector<std::string_view> names) {
        for (auto name : names) {
            ns::NotificationCenter::defaultCenter().addObserver(
                owner_, [this](const ns::Notification& n) { names_.push_back(n.name()); }, name);
        }
    }
    ~NotificationLog() { ns::NotificationCenter::defaultCenter().removeObserver(owner_.get()); }
    std::vector<std::string> take() { return std::exchange(names_, {}); }

private:
    std::shared_ptr<ns::Object> owner_ = std::make_shared<ns::Object>();
    std::vector<std::string> names_;
};

struct Target : ns::Object {
    int taps = 0;
    int swipes = 0;
    void tapped() { ++taps; }
    void swiped() { ++swipes; }
};

struct Rows : TableViewDataSource, TableViewDelegate {
    std::vector<std::int64_t> selected;
    std::int64_t tableViewNumberOfRowsInSection(TableView&, std::int64_t) override { return 40; }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const ns::IndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Row", path);
        cell->textLabel()->setText("Row " + std::to_string(path.row()));
        return cell;
    }
    void tableViewDidSelectRowAtIndexPath(TableView&, const ns::IndexPath& path) override {
        selected.push_back(path.row());
    }
};

struct Booted {
    explicit Booted(const sim::ScreenProfile& profile = sim::ScreenProfile::phone320x480()) : device(profile) {
        events().clear();
        device.boot([this] { return delegate = std::make_shared<TestDelegate>(); });
    }
    View& root() { return *delegate->root->view(); }
    template <class T>
    std::shared_ptr<T> add(std::shared_ptr<T> view) {
        root().addSubview(view);
        device.runUntilIdle();
        return view;
    }

    sim::Device device;
    std::shared_ptr<TestDelegate> delegate;
};

}  // namespace

TEST(Device, BootsAfterTheLoadHooksAndShowsTheDelegatesWindow) {
    events().clear();
    // Hooks run once per process: fresh names keep the test repeatable.
    static int runs = 0;
    const std::string run = std::to_string(++runs);
    ns::Runtime::registerLoadHook(ns::Runtime::LoadPhase::CategoryLoad, "device test category " + run,
                                  [] { events().push_back("category hook"); });
    ns::Runtime::registerLoadHook(ns::Runtime::LoadPhase::ClassLoad, "device test class " + run,
                                  [] { events().push_back("class hook"); });
    std::weak_ptr<Window> shown;
    {
        sim::Device device(sim::ScreenProfile::phone320x568());
        EXPECT_EQ(Screen::mainScreen().bounds(), (cg::Rect{0, 0, 320, 568}));
        EXPECT_EQ(Screen::mainScreen().scale(), 2);
        EXPECT_THROW(sim::Device another, ns::Exception);
        EXPECT_TRUE(device.boot("TestDelegate"));
        EXPECT_EQ(events(), (std::vector<std::string>{"class hook", "category hook", "delegate made",
                                                      "will finish launching", "did finish launching", "active"}));
        auto window = device.keyWindow();
        ASSERT_TRUE(window);
        shown = window;
        EXPECT_FALSE(window->isHidden());
        EXPECT_EQ(window->frame(), (cg::Rect{0, 0, 320, 568}));
        EXPECT_EQ(device.application().applicationState(), ApplicationState::Active);
        EXPECT_THROW(device.boot("TestDelegate"), ns::Exception);
    }
    // The device leaves nothing behind: the next one boots into an empty application.
    EXPECT_TRUE(shown.expired());
    EXPECT_FALSE(Application::sharedApplication().keyWindow());
    EXPECT_EQ(Screen::mainScreen().bounds(), Screen::kDefaultBounds);
    sim::Device device(sim::ScreenProfile::pad768x1024());
    EXPECT_EQ(ui::Device::currentDevice().userInterfaceIdiom(), UserInterfaceIdiom::Pad);
    EXPECT_THROW(device.boot("NoSuchDelegate"), ns::Exception);
    EXPECT_THROW(device.boot("UIView"), ns::Exception);
    EXPECT_THROW(device.sendMemoryWarning(), ns::Exception);
    EXPECT_THROW(device.viewTree(), ns::Exception);
    EXPECT_THROW(sim::ScreenProfile({{480, 320}, 2}).validate(), ns::Exception);
    EXPECT_THROW(sim::ScreenProfile({{320, 480}, 1.5}).validate(), ns::Exception);
}

TEST(Device, TapsReachButtonsAndTableRowsByTheirWords) {
    Booted booted;
    auto target = std::make_shared<Target>();
    auto button = Button::buttonWithType(ButtonType::System);
    button->setFrame({20, 40, 120, 44});
    button->setTitle("Sign in", ControlStateNormal);
    button->addTarget(target, &Target::tapped, ControlEventTouchUpInside);
    booted.add(button);
    auto rows = std::make_shared<Rows>();
    auto table = std::make_shared<TableView>(cg::Rect{0, 100, 320, 380});
    table->registerClass<TableViewCell>("Row");
    table->setDataSource(rows);
    table->setDelegate(rows);
    booted.add(table);
    auto& device = booted.device;

    device.tap("Sign in");
    device.tap(*button);
    EXPECT_EQ(target->taps, 2);
    device.tap("Row 3");
    device.runUntilIdle();
    EXPECT_EQ(rows->selected, (std::vector<std::int64_t>{3}));
    EXPECT_EQ(device.find<Label>("Row 3")->text(), "Row 3");

    // By accessibility label; a finger cannot reach what is covered, off screen or not shown at all.
    button->setAccessibilityLabel("Log in");
    device.tap("Log in");
    EXPECT_EQ(target->taps, 3);
    EXPECT_THROW(device.tap("Row 30"), ns::Exception);
    auto cover = booted.add(std::make_shared<View>(cg::Rect{0, 0, 320, 90}));
    EXPECT_THROW(device.tap(*button), ns::Exception);
    cover->setHidden(true);
    button->setFrame({20, 600, 120, 44});
    EXPECT_THROW(device.tap(*button), ns::Exception);
    EXPECT_EQ(target->taps, 3);
    EXPECT_THROW(device.tap(cg::Point{-10, -10}), ns::Exception);
}

TEST(Device, TypesIntoTheFirstResponderWithTheKeyboardsNotifications) {
    Booted booted;
    struct Returns : ns::Object, TextFieldDelegate {
        int returns = 0;
        bool textFieldShouldReturn(TextField& field) override {
            ++returns;
            field.resignFirstResponder();
            return true;
        }
    };
    auto returns = std::make_shared<Returns>();
    auto field = std::make_shared<TextField>(cg::Rect{20, 40, 280, 31});
    field->setPlaceholder("Name");
    field->setDelegate(returns);
    booted.add(field);
    auto& device = booted.device;
    EXPECT_THROW(device.type("x"), ns::Exception);

    NotificationLog log({KeyboardWillShowNotification, KeyboardDidShowNotification, KeyboardWillHideNotification,
                         KeyboardDidHideNotification, TextFieldTextDidChangeNotification});
    device.tap("Name");
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(log.take(), (std::vector<std::string>{"UIKeyboardWillShowNotification"}));
    device.runUntilIdle();
    EXPECT_EQ(log.take(), (std::vector<std::string>{"UIKeyboardDidShowNotification"}));

    device.type("Zoë 书");
    EXPECT_EQ(field->text(), "Zoë 书");
    EXPECT_EQ(log.take().size(), 5u);  // one change a character
    device.pressBackspace(2);
    EXPECT_EQ(field->text(), "Zoë");
    EXPECT_THROW(device.type("\xff"), ns::Exception);
    device.pressReturn();
    device.runUntilIdle();
    EXPECT_EQ(returns->returns, 1);
    EXPECT_FALSE(field->isFirstResponder());
    auto names = log.take();
    EXPECT_EQ(std::vector<std::string>(names.end() - 2, names.end()),
              (std::vector<std::string>{"UIKeyboardWillHideNotification", "UIKeyboardDidHideNotification"}));
    EXPECT_THROW(device.pressReturn(), ns::Exception);
}

TEST(Device, TypingALineRedrawsOnceAfterItAndKeepsEveryCharacterInOrder) {
    Booted booted;
    struct CountingField : TextField {
        using TextField::TextField;
        void drawRect(const cg::Rect& rect) override {
            ++draws;
            TextField::drawRect(rect);
        }
        int draws = 0;
    };
    auto field = booted.add(std::make_shared<CountingField>(cg::Rect{20, 40, 280, 31}));
    field->setPlaceholder("Line");
    booted.device.tap("Line");
    booted.device.runUntilIdle();
    field->draws = 0;
    // Combining marks, a surrogate pair and a flag each stay one keystroke, in order.
    std::string line;
    for (int i = 0; i < 300; ++i) line += i % 3 == 0 ? "e\u0301" : i % 3 == 1 ? "\U0001F600" : "\U0001F1E8\U0001F1F3";
    line += "\u4E66";
    booted.device.type(line);
    EXPECT_EQ(field->text(), line);
    EXPECT_EQ(field->selectedRange().location, ns::utf16Length(line));
    EXPECT_EQ(field->draws, 1);  // not once per keystroke
    // Typing in the middle still inserts there.
    field->setSelectedRange({1, 0});
    booted.device.type("x");
    EXPECT_EQ(field->text().substr(0, 4), "ex\u0301");
}

TEST(Device, AFingerDraggedOrSwipedAcrossATextFieldDoesNotStartEditing) {
    Booted booted;
    auto field = booted.add(std::make_shared<TextField>(cg::Rect{20, 200, 280, 44}));
    auto& device = booted.device;
    device.drag(*field, {100, 0});
    EXPECT_FALSE(field->isFirstResponder());
    device.swipe(*booted.device.keyWindow(), sim::Device::Direction::Left);
    EXPECT_FALSE(field->isFirstResponder());
    device.drag(*field, {0, 12});
    EXPECT_FALSE(field->isFirstResponder());
    // A finger that trembles a little still taps.
    device.drag(*field, {4, 3});
    EXPECT_TRUE(field->isFirstResponder());
}

TEST(Device, DragsMoveScrollViewsAndSwipesReachRecognisers) {
    Booted booted;
    auto scroll = std::make_shared<ScrollView>(cg::Rect{0, 0, 320, 300});
    scroll->setContentSize({320, 3000});
    booted.add(scroll);
    auto& device = booted.device;

    device.drag(*scroll, {0, -150});
    const double dragged = scroll->contentOffset().y;
    EXPECT_GE(dragged, 130);  // the pan takes a few points to begin
    EXPECT_LE(dragged, 150);
    EXPECT_TRUE(device.runUntilIdle());
    EXPECT_GT(scroll->contentOffset().y, dragged);  // let go while moving, the content coasts on
    EXPECT_FALSE(scroll->isDecelerating());

    auto target = std::make_shared<Target>();
    auto pad = booted.add(std::make_shared<View>(cg::Rect{0, 320, 320, 160}));
    auto swipe = std::make_shared<SwipeGestureRecognizer>(target, &Target::swiped);
    swipe->setDirection(SwipeGestureRecognizerDirectionLeft);
    pad->addGestureRecognizer(swipe);
    device.swipe(*pad, sim::Device::Direction::Right);
    EXPECT_EQ(target->swipes, 0);
    device.swipe(*pad, sim::Device::Direction::Left);
    EXPECT_EQ(target->swipes, 1);
    // Too slow for a swipe: the same stroke as a drag.
    device.drag({260, 400}, {60, 400}, 4.0);
    EXPECT_EQ(target->swipes, 1);
}

TEST(Device, SendsTheSystemsMemoryWarningsAndStateChanges) {
    Booted booted;
    auto& device = booted.device;
    NotificationLog log({ApplicationDidReceiveMemoryWarningNotification, ApplicationWillResignActiveNotification,
                         ApplicationDidEnterBackgroundNotification, ApplicationWillEnterForegroundNotification,
                         ApplicationDidBecomeActiveNotification, ApplicationWillTerminateNotification});
    events().clear();
    device.sendMemoryWarning();
    device.sendToBackground();
    EXPECT_EQ(device.application().applicationState(), ApplicationState::Background);
    device.bringToForeground();
    device.terminate();
    EXPECT_EQ(events(), (std::vector<std::string>{"memory warning", "controller memory warning", "resign active",
                                                  "background", "foreground", "active", "terminate"}));
    EXPECT_EQ(log.take(), (std::vector<std::string>{
                              "UIApplicationDidReceiveMemoryWarningNotification",
                              "UIApplicationWillResignActiveNotification",
                              "UIApplicationDidEnterBackgroundNotification",
                              "UIApplicationWillEnterForegroundNotification",
                              "UIApplicationDidBecomeActiveNotification", "UIApplicationWillTerminateNotification"}));
}

TEST(Device, RotationTurnsTheScreenAndTheWindows) {
    Booted booted(sim::ScreenProfile::phone320x568());
    auto& device = booted.device;
    NotificationLog log({DeviceOrientationDidChangeNotification, ApplicationWillChangeStatusBarOrientationNotification,
                         ApplicationDidChangeStatusBarOrientationNotification});
    cg::Rect windowWhenTurned;
    auto observer = std::make_shared<ns::Object>();
    ns::NotificationCenter::defaultCenter().addObserver(
        observer, [&](const ns::Notification&) { windowWhenTurned = device.keyWindow()->frame(); },
        ApplicationDidChangeStatusBarOrientationNotification);
    device.rotate(InterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(windowWhenTurned, (cg::Rect{0, 0, 568, 320}));
    EXPECT_EQ(log.take(), (std::vector<std::string>{"UIDeviceOrientationDidChangeNotification",
                                                    "UIApplicationWillChangeStatusBarOrientationNotification",
                                                    "UIApplicationDidChangeStatusBarOrientationNotification"}));
    EXPECT_EQ(Screen::mainScreen().bounds(), (cg::Rect{0, 0, 568, 320}));
    EXPECT_EQ(ui::Device::currentDevice().orientation(), DeviceOrientation::LandscapeRight);
    EXPECT_EQ(device.application().statusBarOrientation(), InterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(device.keyWindow()->frame(), (cg::Rect{0, 0, 568, 320}));
    EXPECT_EQ(booted.root().frame(), (cg::Rect{0, 0, 568, 320}));
    device.rotate(InterfaceOrientation::PortraitUpsideDown);
    EXPECT_EQ(Screen::mainScreen().bounds(), (cg::Rect{0, 0, 320, 568}));
    EXPECT_EQ(booted.root().frame(), (cg::Rect{0, 0, 320, 568}));
    EXPECT_THROW(device.rotate(InterfaceOrientation::Unknown), ns::Exception);
}

TEST(Device, RendersTheKeyWindowToPNG) {
    Booted booted;
    auto red = booted.add(std::make_shared<View>(cg::Rect{10, 20, 50, 40}));
    red->setBackgroundColor(Color::colorWithRed(1, 0, 0, 1));
    auto label = std::make_shared<Label>(cg::Rect{0, 100, 320, 40});
    label->setText("WWWWWWWWWWWW");
    label->setFont(Font::boldSystemFontOfSize(30));
    booted.add(label);

    const ns::Data png = booted.device.screenshotPNG();
    auto image = cg::decodeImage(png);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 640);
    EXPECT_EQ(image->height(), 960);
    using Pixel = cg::Image::Pixel;
    EXPECT_EQ(image->pixel(30, 50), (Pixel{255, 0, 0, 255}));    // inside the red view, at 2x
    EXPECT_EQ(image->pixel(125, 50), (Pixel{255, 255, 255, 255}));  // just right of it
    EXPECT_EQ(image->pixel(600, 900), (Pixel{255, 255, 255, 255}));
    int dark = 0;
    for (int x = 0; x < 640; ++x) {
        const Pixel p = image->pixel(x, 240);  // across the label's middle line
        if (p.r < 80 && p.g < 80 && p.b < 80) ++dark;
    }
    EXPECT_GT(dark, 40);

    ns::TemporarySandbox sandbox;
    const std::string path = sandbox.path() + "/screen.png";
    booted.device.writeScreenshot(path);
    auto written = ns::dataWithContentsOfFile(path);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->view().substr(1, 3), "PNG");
    EXPECT_THROW(booted.device.writeScreenshot(sandbox.path() + "/missing/screen.png"), ns::Exception);
}

TEST(Device, DumpsTheViewTreeAsIndentedText) {
    Booted booted;
    auto button = std::make_shared<Button>(cg::Rect{20, 40, 120.5, 44});
    button->setTitle("Sign \"in\"", ControlStateNormal);
    booted.add(button);
    auto field = booted.add(std::make_shared<TextField>(cg::Rect{20, 90, 280, 31}));
    field->setPlaceholder("Name");
    auto hidden = booted.add(std::make_shared<Label>(cg::Rect{0, 0, 10, 10}));
    hidden->setText("two\nlines");
    hidden->setHidden(true);
    booted.device.runUntilIdle();
    EXPECT_EQ(booted.device.viewTree(),
              "UIWindow (0 0; 320 480)\n"
              "  UIView (0 0; 320 480)\n"
              "    UIButton (20 40; 120.5 44) title=\"Sign \\\"in\\\"\"\n"
              "      UILabel (27.75 13; 65 18) text=\"Sign \\\"in\\\"\"\n"
              "    UITextField (20 90; 280 31) text=\"\" placeholder=\"Name\"\n"
              "    UILabel (0 0; 10 10) text=\"two\\nlines\" hidden\n");
}
