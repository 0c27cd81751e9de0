#pragma once
// A counted switch for the network activity indicator: shown while at least one operation is pushed.
// Any thread may push or pop; the indicator itself changes on the main thread only, following the count
// as it is when the change runs.

namespace ql {

void pushActiveNetworkOperation();
// A pop without a matching push is ignored.
void popActiveNetworkOperation();

}  // namespace ql
