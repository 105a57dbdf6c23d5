// A job run beside the caller: on a second thread in builds that have
// threads for it (those with ISA-L, whose results are checked this way),
// otherwise right away on the caller's.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

class BackgroundJob {
public:
    // Starts job, which should give up soon after *stop turns true.
    BackgroundJob(std::function<bool(const std::atomic<bool>& stop)> job);
    ~BackgroundJob();  // cancels and waits, when Result was not called
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Waits for the job and returns its result.
    bool Result();

    // Asks the job to give up, and waits for it.
    void Cancel();

private:
    struct State;
    std::unique_ptr<State> state_;
};
