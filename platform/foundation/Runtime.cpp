#include "platform/foundation/Runtime.h"

#include <algorithm>
#include <mutex>

namespace ql::ns {

namespace {

struct Entry {
    Runtime::LoadPhase phase;
    std::string name;
    std::function<void()> hook;
    bool hasRun = false;
};

struct Registry {
    std::mutex mutex;
    // Serialises runs, so that two callers cannot interleave hooks out of order; recursive because a
    // hook may itself ask for the hooks to run.
    std::recursive_mutex runMutex;
    std::vector<Entry> entries;  // kept in run order: by phase, then by registration
};

Registry& registry() {
    static auto* r = new Registry;
    return *r;
}

}  // namespace

void Runtime::registerLoadHook(LoadPhase phase, std::string name, std::function<void()> hook) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto& entries = r.entries;
    if (std::any_of(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == name; })) return;
    auto position = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.phase > phase; });
    entries.insert(position, Entry{phase, std::move(name), std::move(hook)});
}

void Runtime::runLoadHooks() {
    Registry& r = registry();
    std::lock_guard run(r.runMutex);
    for (;;) {
        std::function<void()> hook;
        {
            std::lock_guard lock(r.mutex);
            auto next = std::find_if(r.entries.begin(), r.entries.end(), [](const Entry& e) { return !e.hasRun; });
            if (next == r.entries.end()) return;
            next->hasRun = true;
            hook = std::move(next->hook);
        }
        // Outside the registry's lock: a hook may register further hooks.
        if (hook) hook();
    }
}

std::vector<Runtime::LoadHook> Runtime::loadHooks() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::vector<LoadHook> out;
    out.reserve(r.entries.size());
    for (const auto& e : r.entries) out.push_back({e.phase, e.name, e.hasRun});
    return out;
}

}  // namespace ql::ns
