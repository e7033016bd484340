#include "checks/SlowState.h"

bool SlowState::record(bool up, bool slow) {
    const bool was = slow_;
    if (!up) {
        reset();
        return was;
    }
    // While normal, slow answers count towards slow; while slow, answers that are not.
    if (slow != slow_) {
        ++run_;
        if (run_ >= (slow_ ? leaveAfter : enterAfter)) {
            slow_ = !slow_;
            run_ = 0;
        }
    } else {
        run_ = 0;
    }
    return slow_ != was;
}

void SlowState::reset() {
    slow_ = false;
    run_ = 0;
}
