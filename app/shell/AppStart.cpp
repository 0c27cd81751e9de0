#include "app/shell/AppStart.h"

#include "app/shell/AppDelegate.h"
#include "app/shell/MainViewController.h"
#include "app/uikit/AppScreens.h"
#include "debug/DuvSessionTrafficRecorder.h"
#include "mapping/MMFoundation.h"
#include "net/NetURLSessionTaskSwizzling.h"
#include "platform/foundation/Runtime.h"
#include "screens/books/BookStoreVC.h"
#include "screens/home/HomeVC.h"
#include "screens/me/MineVC.h"
#include "storage/datetime/DateUtil.h"
#include "ui/keyboard/KBKeyboardManager.h"
#include "ui/layout/HCTemplateLayoutCell.h"
#include "ui/layout/LCDebugAdditions.h"
#include "ui/refresh/ScrollViewRefresh.h"

namespace ql {

namespace {

using Phase = ns::Runtime::LoadPhase;

// The kit below the shell learns which screens are the tab roots and how to make the shell.
void registerAppScreens() {
    AppScreens::registerRootScreenClass(HomeVC::classObject());
    AppScreens::registerRootScreenClass(MineVC::classObject());
    AppScreens::registerRootScreenClass(BookStoreVC::classObject());
    AppScreens::registerRootScreenClass(MainViewController::classObject());
    AppScreens::registerTabShellFactory([] { return std::make_shared<MainViewController>(); });
}

}  // namespace

void registerAppLoadHooks() {
    // Classes: the keyboard manager, the session stack's resume and suspend notifications, the app's
    // screens.
    KBKeyboardManager::registerLoadHook();
    NetURLSessionTaskSwizzling::registerLoadHook();
    ns::Runtime::registerLoadHook(Phase::ClassLoad, "AppScreens", &registerAppScreens);
    // Categories: the refresh controls' reload hook first, so the height cache's invalidation wraps it;
    // the constraint descriptions beside it; the Gregorian calendar as the dates' default; the debug
    // inspector's traffic recorder on the session delegate calls; then the mapping's class caches.
    registerRefreshLoadHooks();
    hc_registerInvalidationLoadHook();
    lc_registerConstraintDescriptionsLoadHook();
    DateUtil::registerLoadHook();
    DuvSessionTrafficRecorder::registerLoadHook();
    ns::Runtime::registerLoadHook(Phase::CategoryLoad, "NSObject(MMKeyValue)",
                                  [] { MMFoundation::foundationClasses(); });
}

std::shared_ptr<ui::ApplicationDelegate> makeAppDelegate() { return std::make_shared<AppDelegate>(); }

int appMain(int argc, char** argv) {
    registerAppLoadHooks();
    return ui::ApplicationMain(argc, argv, &makeAppDelegate);
}

}  // namespace ql
