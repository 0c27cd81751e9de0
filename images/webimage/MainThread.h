#pragma once
// The two ways the web-image components reach the main thread: waiting for the block, or not.

#include <functional>

namespace ql {

// Runs the block on the main thread and returns once it has run (directly when called there).
void runOnMainAndWait(const std::function<void()>& block);
// Runs the block now on the main thread, else queues it on the main queue.
void runOnMain(std::function<void()> block);

}  // namespace ql
