#pragma once
// The view layer belongs to the main thread; debug builds check it at the entry points that change it.

#include <cassert>

#include "platform/foundation/Thread.h"

namespace ql::ui {

inline void assertMainThread() { assert(ns::Thread::isMainThread() && "the view layer is used from the main thread only"); }

}  // namespace ql::ui
