#include "platform/ui/Nib.h"

#include <map>
#include <mutex>

#include "platform/foundation/Exception.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace ql::ui {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Nib>, std::less<>> nibs;
};

Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

}  // namespace

void Nib::registerNib(std::string name, Builder builder) {
    auto nib = std::make_shared<Nib>(std::move(builder));
    std::lock_guard lock(registry().mutex);
    registry().nibs[std::move(name)] = std::move(nib);
}

bool Nib::isRegistered(std::string_view name) { return nibWithNibName(name) != nullptr; }

std::shared_ptr<Nib> Nib::nibWithNibName(std::string_view name) {
    std::lock_guard lock(registry().mutex);
    auto it = registry().nibs.find(name);
    return it == registry().nibs.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<ns::Object>> Nib::loadNibNamed(std::string_view name, ns::Object* owner,
                                                           const ns::Dictionary& options) {
    auto nib = nibWithNibName(name);
    if (!nib) {
        throw ns::Exception(ns::InternalInconsistencyException,
                            "Could not load NIB in bundle: 'NSBundle (loaded)' with name '" + std::string(name) + "'");
    }
    return nib->instantiateWithOwner(owner, options);
}

std::vector<std::shared_ptr<ns::Object>> Nib::instantiateWithOwner(ns::Object* owner,
                                                                   const ns::Dictionary& options) const {
    Loading loading(owner, options);
    auto topLevel = builder_(loading);
    for (const auto& object : loading.objects()) {
        if (auto* view = dynamic_cast<View*>(object.get())) view->awakeFromNib();
        else if (auto* controller = dynamic_cast<ViewController*>(object.get())) controller->awakeFromNib();
    }
    return topLevel;
}

}  // namespace ql::ui
