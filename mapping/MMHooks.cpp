#include "mapping/MMHooks.h"

#include <mutex>
#include <unordered_map>

namespace ql {

namespace {

struct HookRegistry {
    std::mutex mutex;
    std::unordered_map<const ns::Class*, MMClassHooks> hooks;
};

// Filled while the program loads, so it must exist before any other static initialiser asks for it.
HookRegistry& registry() {
    static HookRegistry* r = new HookRegistry;
    return *r;
}

}  // namespace

bool detail::registerMMHooks(const ns::Class& (*classObject)(), MMClassHooks (*hooks)()) {
    HookRegistry& r = registry();
    const ns::Class& cls = classObject();
    std::lock_guard lock(r.mutex);
    r.hooks.emplace(&cls, hooks());
    return true;
}

const MMClassHooks* mm_classHooks(const ns::Class& cls) {
    HookRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const ns::Class* c = &cls; c; c = c->superclass()) {
        auto it = r.hooks.find(c);
        if (it != r.hooks.end()) return &it->second;
    }
    return nullptr;
}

}  // namespace ql
