// toolkit-shots <folder>: boots a sample list on the headless device (320×568 at 2×), shows the progress
// overlay (spinner with a status, a success result, the gradient mask), a toast and a refreshing header
// over it, and writes a screenshot of each into the folder.

#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "platform/device/Device.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "ui/hud/MHProgressHUD.h"
#include "ui/hud/ProgressHUD.h"
#include "ui/refresh/RefreshNormalHeader.h"
#include "ui/refresh/ScrollViewRefresh.h"
#include "ui/toast/Toast.h"

using namespace ql;
using namespace ql::ui;

namespace {

const char* const kTitles[] = {"夜航西飞", "围城", "边城", "活着", "呐喊", "城南旧事", "草房子", "小王子", "西游记"};

class SampleList : public ViewController {
public:
    void viewDidLoad() override {
        View& root = *view();
        root.setBackgroundColor(Color::whiteColor());
        const double width = root.bounds().size.width;
        auto header = std::make_shared<Label>(cg::Rect{0, 20, width, 44});
        header->setText("书城");
        header->setTextAlignment(TextAlignment::Center);
        header->setFont(Font::boldSystemFontOfSize(18));
        header->setBackgroundColor(Color::colorWithRed(0.98, 0.6, 0.2, 1));
        header->setTextColor(Color::whiteColor());
        root.addSubview(header);
        list = std::make_shared<ScrollView>(cg::Rect{0, 64, width, root.bounds().size.height - 64});
        root.addSubview(list);
        double y = 0;
        for (const char* title : kTitles) {
            auto row = std::make_shared<Label>(cg::Rect{16, y, width - 32, 54});
            row->setText(title);
            row->setFont(Font::systemFontOfSize(16));
            row->setBackgroundColor(Color::colorWithRed(0.93, 0.95, 0.98, 1));
            list->addSubview(row);
            y += 56;
        }
        list->setContentSize({width, y});
    }

    std::shared_ptr<ScrollView> list;
};

class ShotsDelegate : public ns::Object, public ApplicationDelegate {
public:
    bool applicationDidFinishLaunchingWithOptions(Application&, const ns::Dictionary&) override {
        window_ = std::make_shared<Window>();
        window_->setRootViewController(screen);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<Window> window() const override { return window_; }

    std::shared_ptr<SampleList> screen = std::make_shared<SampleList>();

private:
    std::shared_ptr<Window> window_;
};

// Shows something, lets its fade-in end, writes the screen, then lets it go.
void shoot(sim::Device& device, const std::string& path, const std::function<void()>& show,
           const std::function<void()>& hide) {
    show();
    device.advance(0.5);
    device.writeScreenshot(path);
    std::printf("%s\n", path.c_str());
    hide();
    device.advance(3);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: toolkit-shots <folder>\n");
        return 2;
    }
    try {
        const std::string folder = argv[1];
        sim::Device device(sim::ScreenProfile::phone320x568());
        auto delegate = std::make_shared<ShotsDelegate>();
        device.boot([&] { return delegate; });
        const auto dismiss = [] { ProgressHUD::dismiss(); };
        shoot(device, folder + "/hud-spinner-status.png",
              [] { ProgressHUD::showWithStatus("登录中", ProgressHUDMaskTypeClear); }, dismiss);
        shoot(device, folder + "/hud-success.png", [] { ProgressHUD::showSuccessWithStatus("保存成功"); }, dismiss);
        shoot(device, folder + "/hud-gradient-mask.png",
              [] { ProgressHUD::showWithStatus("加载中", ProgressHUDMaskTypeGradient); }, dismiss);
        shoot(device, folder + "/toast.png", [] { Toast::showWithText("密码错误，请重新输入"); }, [] {});
        std::shared_ptr<MHProgressHUD> mode;
        shoot(
            device, folder + "/mh-hud-determinate.png",
            [&] {
                mode = MHProgressHUD::showHUDAddedTo(*delegate->screen->view(), false);
                mode->setMode(MHProgressHUDModeDeterminate);
                mode->setProgress(0.6f);
                mode->setLabelText("上传中");
                mode->setDetailsLabelText("第 2 张，共 3 张");
            },
            [&] { mode->hide(false); });
        auto header = RefreshNormalHeader::headerWithRefreshingBlock({});
        setHeader(*delegate->screen->list, header);
        shoot(device, folder + "/refresh-header-refreshing.png", [&] { header->beginRefreshing(); },
              [&] { header->endRefreshing(); });
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "toolkit-shots: %s\n", e.what());
        return 1;
    }
}
