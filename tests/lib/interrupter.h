// Signals this thread every intervalUs with a handler installed without
// SA_RESTART, so every blocking call the library makes meanwhile may end in
// EINTR. Other threads (the scripted peers) are not disturbed.
#pragma once

#include <signal.h>
#include <time.h>
#include <unistd.h>

namespace vltest {

class Interrupter {
public:
    explicit Interrupter(long intervalUs) {
        struct sigaction sa {};
        sa.sa_handler = [](int) {};
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;
        sigaction(SIGALRM, &sa, nullptr);
        sigevent ev{};
        ev.sigev_notify = SIGEV_THREAD_ID;
        ev.sigev_signo = SIGALRM;
        ev._sigev_un._tid = gettid();
        timer_create(CLOCK_MONOTONIC, &ev, &timer_);
        itimerspec every{{0, intervalUs * 1000}, {0, intervalUs * 1000}};
        timer_settime(timer_, 0, &every, nullptr);
    }
    // The no-op handler stays: a signal still queued must not end the test.
    ~Interrupter() { timer_delete(timer_); }
    Interrupter(const Interrupter&) = delete;
    Interrupter& operator=(const Interrupter&) = delete;

private:
    timer_t timer_{};
};

} // namespace vltest
