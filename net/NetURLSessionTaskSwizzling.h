#pragma once
// Makes every session task of the process announce its resumption and suspension: a class-load hook,
// registered under the name "_NetURLSessionTaskSwizzling", wraps the platform tasks' resume and suspend.
// A task posts "com.varnholt.networking.nsurlsessiontask.resume" after resume when it was not running, and
// "com.varnholt.networking.nsurlsessiontask.suspend" after suspend when it was not suspended, on the
// thread that called; session managers relay those of their own tasks.

#include <string_view>

namespace ql {

class NetURLSessionTaskSwizzling {
public:
    static constexpr std::string_view kLoadHookName = "_NetURLSessionTaskSwizzling";

    // Registers load() with ns::Runtime as a class-load hook.
    static void registerLoadHook();
    // Wraps resume and suspend; once per process.
    static void load();
};

}  // namespace ql
