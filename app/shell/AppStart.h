#pragma once
// The app's start-up, in the platform's order: the load hooks of classes, then those of categories, then
// the application delegate. Every component that hooks itself in at load time is registered here; later
// components add theirs the same way.

#include <memory>

#include "platform/ui/Application.h"

namespace ql {

// Registers the app's load hooks with ns::Runtime; safe to call on every start (hooks run once each).
void registerAppLoadHooks();

// What the entry point starts the application framework with.
std::shared_ptr<ui::ApplicationDelegate> makeAppDelegate();

// The program's entry: the hooks, then the application with AppDelegate on the main run loop.
int appMain(int argc, char** argv);

}  // namespace ql
