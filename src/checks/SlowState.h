#pragma once

// Whether a host is in its slow state (up, but answering slower than its slowAboveMs), from its
// judged answers in order. One slow answer in a noisy round must not turn a host yellow, nor one
// quick answer turn it back, so:
//
// - a host becomes slow after `enterAfter` (2) slow answers in a row;
// - a slow host becomes normal after `leaveAfter` (2) answers in a row that are up and not slow;
//   one slow answer between them starts that count again;
// - a failed answer ends slow at once (the host is down, which says more) and starts every count
//   again, so a host coming back needs two slow answers to be slow again.
//
// A host without slowAboveMs never has a slow answer, so it is never slow. Whoever keeps the
// state resets it when the host's options change or the host is paused: answers judged by
// another limit say nothing about this one.
class SlowState {
public:
    static constexpr int enterAfter = 2;
    static constexpr int leaveAfter = 2;

    // Takes one judged answer; returns whether isSlow() changed.
    bool record(bool up, bool slow);

    bool isSlow() const { return slow_; }
    void reset();

private:
    bool slow_ = false;
    int run_ = 0; // answers in a row that point away from the current state
};
