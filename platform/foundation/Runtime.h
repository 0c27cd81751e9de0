#pragma once
// ns::Runtime: the load hooks that stand in for the work the object runtime does as classes and their
// categories are loaded. The application entry point registers them explicitly and runs them before
// anything else: every class hook first, then every category hook, each in registration order.

#include <functional>
#include <string>
#include <vector>

namespace ql::ns {

class Runtime {
public:
    enum class LoadPhase { ClassLoad, CategoryLoad };

    struct LoadHook {
        LoadPhase phase;
        std::string name;
        bool hasRun;
    };

    // A name stands for one hook: registering a name again is ignored, so an entry point that registers
    // its hooks on every start still runs each of them once per process.
    static void registerLoadHook(LoadPhase phase, std::string name, std::function<void()> hook);

    // Runs every hook that has not run yet, phase by phase, in registration order within a phase. Hooks
    // registered by a running hook join the run at their place. Calling it again runs only newcomers.
    static void runLoadHooks();

    // The registered hooks in the order they run (or ran).
    static std::vector<LoadHook> loadHooks();
};

}  // namespace ql::ns
