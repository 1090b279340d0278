#pragma once

#include <functional>

namespace knokle {

// Background work (running a mode, polling for windows). Work posted here never touches state owned by
// the main loop; results go back through MainLoop::post.
class WorkQueue {
public:
    virtual ~WorkQueue() = default;
    virtual void post(std::function<void()> fn) = 0;
};

} // namespace knokle
