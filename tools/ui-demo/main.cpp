// ui-demo [output.png]: boots a reading-list screen on the headless device (375×667 at 2×), types a search
// into its text field, selects a row of its table, and writes the screenshot (ui-demo.png by default).

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/device/Device.h"
#include "platform/ui/Button.h"
#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

using namespace ql;
using namespace ql::ui;

namespace {

struct Book {
    const char* title;
    const char* author;
};

const std::vector<Book> kBooks = {
    {"夜航西飞", "柏瑞尔·马卡姆"}, {"The Old Man and the Sea", "E. Hemingway"}, {"围城", "钱锺书"},
    {"Walden", "H. D. Thoreau"},  {"边城", "沈从文"},                        {"Moby-Dick", "H. Melville"},
    {"活着", "余华"},             {"Middlemarch", "G. Eliot"},               {"呐喊", "鲁迅"},
};

std::shared_ptr<Label> label(const cg::Rect& frame, const std::string& text, std::shared_ptr<Font> font,
                             std::shared_ptr<Color> color) {
    auto view = std::make_shared<Label>(frame);
    view->setText(text);
    view->setFont(std::move(font));
    view->setTextColor(std::move(color));
    return view;
}

class BookList : public ViewController, public TableViewDataSource, public TableViewDelegate, public TextFieldDelegate {
public:
    void viewDidLoad() override {
        View& root = *view();
        const double width = root.bounds().size.width;
        root.setBackgroundColor(Color::whiteColor());
        root.addSubview(
            label({20, 36, width - 40, 36}, "Quillory", Font::boldSystemFontOfSize(30), Color::blackColor()));
        root.addSubview(label({20, 74, width - 40, 20}, "今天读什么？ What shall we read today?", Font::systemFontOfSize(15),
                              Color::grayColor()));

        search_ = std::make_shared<TextField>(cg::Rect{20, 106, width - 40, 36});
        search_->setBorderStyle(TextBorderStyle::RoundedRect);
        search_->setPlaceholder("Search titles or authors");
        search_->setDelegate(std::static_pointer_cast<BookList>(shared_from_this()));
        root.addSubview(search_);

        auto signIn = Button::buttonWithType(ButtonType::System);
        signIn->setFrame({20, 154, (width - 52) / 2, 44});
        signIn->setTitle("Sign in", ControlStateNormal);
        signIn->layer()->setBorderWidth(1);
        signIn->layer()->setBorderColor(Color::colorWithRed(0, 0.48, 1, 1)->CGColor());
        signIn->layer()->setCornerRadius(8);
        root.addSubview(signIn);

        auto join = std::make_shared<Button>(cg::Rect{32 + (width - 52) / 2, 154, (width - 52) / 2, 44});
        join->setTitle("Join", ControlStateNormal);
        join->setTitleColor(Color::whiteColor(), ControlStateNormal);
        join->setBackgroundColor(Color::colorWithRed(0, 0.48, 1, 1));
        join->layer()->setCornerRadius(8);
        root.addSubview(join);

        table_ = std::make_shared<TableView>(cg::Rect{0, 214, width, root.bounds().size.height - 214});
        table_->registerClass([](const std::string& identifier) {
            return std::make_shared<TableViewCell>(TableViewCellStyle::Subtitle, identifier);
        }, "Book");
        auto self = std::static_pointer_cast<BookList>(shared_from_this());
        table_->setDataSource(std::static_pointer_cast<TableViewDataSource>(self));
        table_->setDelegate(std::static_pointer_cast<TableViewDelegate>(self));
        table_->setRowHeight(56);
        root.addSubview(table_);
    }

    std::int64_t tableViewNumberOfRowsInSection(TableView&, std::int64_t) override {
        return std::int64_t(kBooks.size());
    }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const ns::IndexPath& path) override {
        auto cell = table.dequeueReusableCellWithIdentifier("Book", path);
        const Book& book = kBooks[std::size_t(path.row())];
        cell->textLabel()->setText(book.title);
        cell->detailTextLabel()->setText(book.author);
        cell->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
        return cell;
    }

    bool textFieldShouldReturn(TextField& field) override {
        field.resignFirstResponder();
        return true;
    }

private:
    std::shared_ptr<TextField> search_;
    std::shared_ptr<TableView> table_;
};

class DemoDelegate : public ApplicationDelegate {
public:
    bool applicationDidFinishLaunchingWithOptions(Application&, const ns::Dictionary&) override {
        window_ = std::make_shared<Window>();
        window_->setRootViewController(std::make_shared<BookList>());
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<Window> window() const override { return window_; }

private:
    std::shared_ptr<Window> window_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
        std::fprintf(stderr, "usage: ui-demo [output.png]\n");
        return argc > 2 ? 2 : 0;
    }
    const std::string path = argc == 2 ? argv[1] : "ui-demo.png";
    try {
        sim::Device device(sim::ScreenProfile::phone375x667());
        device.boot([] { return std::make_shared<DemoDelegate>(); });
        device.tap("Search titles or authors");
        device.type("夜航");
        device.pressReturn();
        device.tap("围城");
        device.runUntilIdle();
        device.writeScreenshot(path);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ui-demo: %s\n", error.what());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
