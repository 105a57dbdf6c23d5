// BackgroundJob on the caller's thread, for builds without threads for it.
#include "extract/background.h"

struct BackgroundJob::State {
    bool result = false;
};

BackgroundJob::BackgroundJob(std::function<bool(const std::atomic<bool>& stop)> job) : state_(new State) {
    const std::atomic<bool> stop{false};
    state_->result = job(stop);
}

BackgroundJob::~BackgroundJob() = default;

bool BackgroundJob::Result() { return state_->result; }

void BackgroundJob::Cancel() {}
