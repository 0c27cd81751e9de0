#pragma once
// WebImageOperation: the cancellable handle every remote-image load and download hands back. Views keep
// them by key and cancel the earlier load when a new one starts.

namespace ql {

class WebImageOperation {
public:
    virtual ~WebImageOperation() = default;
    virtual void cancel() = 0;
};

}  // namespace ql
