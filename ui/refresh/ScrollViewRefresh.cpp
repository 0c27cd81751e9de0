#include "ui/refresh/ScrollViewRefresh.h"

#include "platform/foundation/Runtime.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/TableView.h"
#include "ui/refresh/RefreshFooter.h"
#include "ui/refresh/RefreshHeader.h"

namespace ql {

namespace {

const char kHeaderKey = 0;
const char kFooterKey = 0;
const char kReloadDataBlockKey = 0;

class ReloadDataBlockBox : public ns::Object {
public:
    explicit ReloadDataBlockBox(ReloadDataBlock block) : block(std::move(block)) {}
    const ReloadDataBlock block;
};

template <class Control>
void install(ui::ScrollView& scrollView, const void* key, std::string_view name, std::shared_ptr<Control> control) {
    auto current = scrollView.associatedValue(key).asObject<Control>();
    if (control == current) return;
    if (current) current->removeFromSuperview();
    if (control) scrollView.addSubview(control);
    scrollView.willChangeValueForKey(name);
    scrollView.setAssociatedValue(key, ns::Value(std::move(control)), ns::Association::Weak);
    scrollView.didChangeValueForKey(name);
}

}  // namespace

std::shared_ptr<RefreshHeader> header(const ui::ScrollView& scrollView) {
    return scrollView.associatedValue(&kHeaderKey).asObject<RefreshHeader>();
}

void setHeader(ui::ScrollView& scrollView, std::shared_ptr<RefreshHeader> header) {
    install(scrollView, &kHeaderKey, "header", std::move(header));
}

std::shared_ptr<RefreshFooter> footer(const ui::ScrollView& scrollView) {
    return scrollView.associatedValue(&kFooterKey).asObject<RefreshFooter>();
}

void setFooter(ui::ScrollView& scrollView, std::shared_ptr<RefreshFooter> footer) {
    install(scrollView, &kFooterKey, "footer", std::move(footer));
}

ReloadDataBlock reloadDataBlock(const ui::ScrollView& scrollView) {
    auto box = scrollView.associatedValue(&kReloadDataBlockKey).asObject<ReloadDataBlockBox>();
    return box ? box->block : ReloadDataBlock{};
}

void setReloadDataBlock(ui::ScrollView& scrollView, ReloadDataBlock block) {
    scrollView.willChangeValueForKey("reloadDataBlock");
    auto box = block ? std::make_shared<ReloadDataBlockBox>(std::move(block)) : nullptr;
    scrollView.setAssociatedValue(&kReloadDataBlockKey, ns::Value(std::move(box)));
    scrollView.didChangeValueForKey("reloadDataBlock");
}

std::int64_t totalDataCount(ui::ScrollView& scrollView) {
    std::int64_t total = 0;
    if (auto* table = dynamic_cast<ui::TableView*>(&scrollView)) {
        for (std::int64_t section = 0; section < table->numberOfSections(); ++section) {
            total += table->numberOfRowsInSection(section);
        }
    } else if (auto* collection = dynamic_cast<ui::CollectionView*>(&scrollView)) {
        for (std::int64_t section = 0; section < collection->numberOfSections(); ++section) {
            total += collection->numberOfItemsInSection(section);
        }
    }
    return total;
}

void executeReloadDataBlock(ui::ScrollView& scrollView) {
    if (auto block = reloadDataBlock(scrollView)) block(totalDataCount(scrollView));
}

void registerRefreshLoadHooks() {
    using Phase = ns::Runtime::LoadPhase;
    ns::Runtime::registerLoadHook(Phase::CategoryLoad, "UITableView(Refresh)", [] {
        ui::TableView::addHook(ui::TableViewMutation::Kind::ReloadData,
                               [](ui::TableView& table, const ui::TableViewMutation&, const std::function<void()>& proceed) {
                                   proceed();
                                   executeReloadDataBlock(table);
                               });
    });
    ns::Runtime::registerLoadHook(Phase::CategoryLoad, "UICollectionView(Refresh)", [] {
        ui::CollectionView::addReloadDataHook([](ui::CollectionView& collection, const std::function<void()>& proceed) {
            proceed();
            executeReloadDataBlock(collection);
        });
    });
}

}  // namespace ql
