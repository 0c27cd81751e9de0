#include "tools/quillory/Tour.h"

#include <cstdio>

#include "tools/quillory/AppDriver.h"
#include "tools/quillory/ScriptCommand.h"

namespace ql::quillory {

const std::vector<TourStep>& defaultTour() {
    static const std::vector<TourStep> steps = {
        {"guide", {}, "GuideViewController"},
        {"guide-last-page", {"swipe left", "swipe left"}, "GuideViewController"},
        {"sign-in", {"tap 进入App"}, "LoginViewController"},
        {"sign-in-filled", {"tap 手机号码", "type 20160302", "tap Next", "type abcdef", "tap Done"}, "LoginViewController"},
        {"bind-mobile", {"tap 登 录"}, "BindViewController"},
        // The keyboard is put away for the picture: screenshots show the window alone, without the keyboard
        // that would cover the space it lifted the screen out of.
        {"bind-code-sent", {"tap 手机号码", "type 13800000002", "tap Next", "tap 获取验证码", "wait 3", "tap Done"},
         "BindViewController"},
        {"home", {"tap 验证码", "type 520520", "tap Done", "tap 绑 定"}, "HomeVC"},
        {"book-store", {"tap 书城"}, "BookStoreVC"},
        {"me", {"tap 我的"}, "MineVC"},
        {"change-password", {"tap 修改密码"}, "ChangePwdViewController"},
        {"change-password-filled",
         {"tap 旧密码", "type abcdef", "tap Next", "type reading2", "tap Next", "type reading2", "tap Done"},
         "ChangePwdViewController"},
        {"sign-in-again", {"tap 确认修改"}, "LoginViewController"},
        {"home-again", {"tap 密码", "type reading2", "tap Done", "tap 登 录"}, "HomeVC"},
    };
    return steps;
}

bool runTour(AppDriver& driver, const std::vector<TourStep>& steps, std::ostream& out) {
    int number = 0;
    for (const TourStep& step : steps) {
        ++number;
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%02d", number);
        const std::string label = std::string(prefix) + "-" + step.name;
        try {
            int line = 0;
            for (const std::string& text : step.script) {
                if (auto command = parseScriptLine(text, ++line)) driver.run(*command);
            }
        } catch (const std::exception& error) {
            out << "step " << label << " failed: " << error.what() << "\n" << AppDriver::describe(driver.screen())
                << "\n";
            return false;
        }
        const ScreenSummary screen = driver.screen();
        const std::string path = driver.shot(label);
        out << "step " << label << ": " << AppDriver::describe(screen) << "\n  shot " << path << "\n";
        out.flush();
        if (screen.controller != step.expectedController) {
            out << "step " << label << " failed: expected " << step.expectedController << " on top, found "
                << (screen.controller.empty() ? std::string("nothing") : screen.controller) << "\n";
            return false;
        }
    }
    return true;
}

}  // namespace ql::quillory
