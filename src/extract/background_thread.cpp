// BackgroundJob on a second thread.  When no thread can be started, the job
// runs on the caller's.
#include <system_error>
#include <thread>

#include "extract/background.h"

struct BackgroundJob::State {
    std::function<bool(const std::atomic<bool>&)> job;
    std::atomic<bool> stop{false};
    bool result = false;
    bool done = false;
    std::thread thread;
};

BackgroundJob::BackgroundJob(std::function<bool(const std::atomic<bool>& stop)> job) : state_(new State) {
    state_->job = std::move(job);
    State* s = state_.get();
    try {
        s->thread = std::thread([s] { s->result = s->job(s->stop); });
    } catch (const std::system_error&) {
        s->result = s->job(s->stop);
        s->done = true;
    }
}

BackgroundJob::~BackgroundJob() { Cancel(); }

bool BackgroundJob::Result() {
    if (!state_->done && state_->thread.joinable()) state_->thread.join();
    state_->done = true;
    return state_->result;
}

void BackgroundJob::Cancel() {
    state_->stop = true;
    (void)Result();
}
