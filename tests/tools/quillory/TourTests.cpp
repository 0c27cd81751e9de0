// The run command's default tour on every device the app runs on: each step must reach its screen, and
// every screen must fit the device: whole texts, the slogan clear of the picture above it, and no list row
// under the tab bar's raised item.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/account/LoginViewController.h"
#include "app/service/StudentNetWorkApiManager.h"
#include "app/shell/MainViewController.h"
#include "app/uikit/AppScreens.h"
#include "platform/device/ViewQuery.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptCommand.h"
#include "tools/quillory/Tour.h"
#include "tools/standin-service/StandinService.h"

using namespace ql;

namespace {

struct NamedProfile {
    const char* name;
    sim::ScreenProfile profile;
};

const std::vector<NamedProfile>& everyDevice() {
    static const std::vector<NamedProfile> devices = {
        {"iphone4", sim::ScreenProfile::phone320x480()},  {"iphone5", sim::ScreenProfile::phone320x568()},
        {"iphone6", sim::ScreenProfile::phone375x667()},  {"iphone6p", sim::ScreenProfile::phone414x736()},
        {"ipad", sim::ScreenProfile::pad768x1024()},
    };
    return devices;
}

cg::Rect inWindow(const ui::View& view) { return view.convertRectToView(view.bounds(), nullptr); }

// The part of the view a person sees: inside every clipping view above it and the window.
cg::Rect visiblePart(const ui::View& view) {
    cg::Rect visible = inWindow(view);
    for (const ui::View* v = view.superview(); v; v = v->superview()) {
        if (v->clipsToBounds()) visible = cg::rectIntersection(visible, inWindow(*v));
    }
    return view.window() ? cg::rectIntersection(visible, view.window()->bounds()) : cg::Rect::zero();
}

template <class T>
void collect(const std::shared_ptr<ui::View>& view, std::vector<std::shared_ptr<T>>& found) {
    if (!sim::isShown(*view) || cg::rectIsEmpty(visiblePart(*view))) return;
    if (auto typed = std::dynamic_pointer_cast<T>(view)) found.push_back(typed);
    for (const auto& subview : view->subviews()) collect(subview, found);
}

template <class T>
std::vector<std::shared_ptr<T>> shown(const std::shared_ptr<ui::View>& root) {
    std::vector<std::shared_ptr<T>> found;
    collect(root, found);
    return found;
}

// Single-line labels show their whole text (those that shrink their font may shrink it to fit).
void expectWholeTexts(ui::Window& window, const std::string& where) {
    for (const auto& label : shown<ui::Label>(window.sharedFromThis())) {
        if (label->numberOfLines() != 1 || !label->text() || label->text()->empty()) continue;
        double room = label->bounds().size.width;
        if (label->adjustsFontSizeToFitWidth() && label->minimumScaleFactor() > 0) room /= label->minimumScaleFactor();
        EXPECT_LE(label->intrinsicContentSize().width, room + 0.5)
            << where << ": \"" << *label->text() << "\" is cut off";
    }
}

// The book on the sign-in picture: its cover's orange.
bool isBookCover(const cg::Image::Pixel& p) {
    return std::abs(int(p.r) - 0xE8) < 24 && std::abs(int(p.g) - 0x83) < 24 && std::abs(int(p.b) - 0x3A) < 24;
}

void expectSloganClearOfThePicture(LoginViewController& screen, const std::string& where) {
    auto background = screen.bgImageView();
    ASSERT_TRUE(background && background->image() && background->image()->CGImage()) << where;
    std::shared_ptr<ui::Label> slogan;
    for (const auto& label : shown<ui::Label>(screen.view())) {
        if (label->text() == LoginMotto) slogan = label;
    }
    ASSERT_TRUE(slogan) << where;
    const auto& picture = *background->image()->CGImage();
    const double scale = picture.width() / background->bounds().size.width;
    // Where the slogan's letters lie, on the picture.
    const cg::Size words = slogan->intrinsicContentSize();
    const cg::Rect frame = slogan->convertRectToView(slogan->bounds(), background.get());
    const cg::Rect letters{cg::midX(frame) - words.width / 2, cg::midY(frame) - words.height / 2, words.width,
                           words.height};
    int covered = 0;
    for (int y = int(cg::minY(letters) * scale); y < int(cg::maxY(letters) * scale); ++y) {
        for (int x = int(cg::minX(letters) * scale); x < int(cg::maxX(letters) * scale); ++x) {
            if (x >= 0 && y >= 0 && x < int(picture.width()) && y < int(picture.height()) &&
                isBookCover(picture.pixel(x, y))) {
                ++covered;
            }
        }
    }
    EXPECT_EQ(covered, 0) << where << ": the slogan lies on the book";
}

// Scrolled to its end, no row of a tab root's list lies under the tab bar or its raised item.
void expectListsClearOfTheTabBar(quillory::AppDriver& app, const std::string& where) {
    auto shell = std::dynamic_pointer_cast<MainViewController>(AppScreens::window()->rootViewController());
    if (!shell) return;
    std::vector<cg::Rect> bar{inWindow(*shell->tabbarView())};
    for (const auto& item : shell->itemArray()) bar.push_back(inWindow(*item));
    for (const auto& table : shown<ui::TableView>(app.topController()->view())) {
        const double end = std::max(0.0, table->contentSize().height - table->bounds().size.height);
        table->setContentOffset({0, end});
        app.device().runUntilIdle();
        for (const auto& cell : table->visibleCells()) {
            const cg::Rect row = visiblePart(*cell);
            if (cg::rectIsEmpty(row)) continue;
            for (const cg::Rect& covering : bar) {
                EXPECT_TRUE(cg::rectIsEmpty(cg::rectIntersection(row, covering)))
                    << where << ": the row \"" << sim::textOf(*cell->textLabel()).value_or("") << "\" at "
                    << cg::toString(row) << " lies under " << cg::toString(covering);
            }
        }
        table->setContentOffset({0, 0});
        app.device().runUntilIdle();
    }
}

}  // namespace

TEST(Tour, ReachesEveryScreenOnEveryDeviceAndEachScreenFits) {
    for (const NamedProfile& device : everyDevice()) {
        standin::StandinService service;
        ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.baseURL().c_str(), 1);
        ns::TemporarySandbox sandbox;
        quillory::AppDriver app(device.profile, sandbox.path());
        app.boot();
        int number = 0;
        for (const quillory::TourStep& step : quillory::defaultTour()) {
            const std::string where = std::string(device.name) + " step " + std::to_string(++number) + " " + step.name;
            int line = 0;
            try {
                for (const std::string& text : step.script) {
                    if (auto command = quillory::parseScriptLine(text, ++line)) app.run(*command);
                }
            } catch (const std::exception& error) {
                FAIL() << where << ": " << error.what() << "\n" << quillory::AppDriver::describe(app.screen());
            }
            ASSERT_EQ(app.screen().controller, step.expectedController) << where;
            auto window = app.device().keyWindow();
            ASSERT_TRUE(window);
            expectWholeTexts(*window, where);
            if (auto signIn = std::dynamic_pointer_cast<LoginViewController>(app.topController())) {
                expectSloganClearOfThePicture(*signIn, where);
            }
            expectListsClearOfTheTabBar(app, where);
        }
        ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str());
    }
}

TEST(Tour, AStepThatMissesItsScreenStopsTheTourAndSaysWhy) {
    standin::StandinService service;
    ::setenv(std::string(ServiceBaseURLEnvironmentVariable).c_str(), service.baseURL().c_str(), 1);
    ns::TemporarySandbox sandbox;
    quillory::AppDriver app(sim::ScreenProfile::phone375x667(), sandbox.path());
    app.boot();
    std::ostringstream out;
    const std::vector<quillory::TourStep> steps = {{"guide", {}, "GuideViewController"},
                                                   {"nowhere", {"swipe left"}, "HomeVC"},
                                                   {"never", {}, "GuideViewController"}};
    EXPECT_FALSE(quillory::runTour(app, steps, out));
    EXPECT_NE(out.str().find("step 02-nowhere failed: expected HomeVC on top, found GuideViewController"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(out.str().find("never"), std::string::npos);
    ::unsetenv(std::string(ServiceBaseURLEnvironmentVariable).c_str());
}
