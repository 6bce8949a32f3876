#pragma once

#include <memory>

namespace tovik {

// Cooperative cancellation of one task: copies share the flag, the task checks it at
// its suspension points and ends with Failure::cancelled().
class CancelToken {
public:
    void cancel() { *flag_ = true; }
    bool isCancelled() const { return *flag_; }

private:
    std::shared_ptr<bool> flag_ = std::make_shared<bool>(false);
};

} // namespace tovik
