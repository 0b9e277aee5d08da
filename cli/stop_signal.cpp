#include "stop_signal.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

std::atomic<std::atomic<bool>*> g_alsoRaised{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void OnStopSignal(int signal) {
    g_stopSignal.store(signal, std::memory_order_relaxed);
    if (std::atomic<bool>* flag = g_alsoRaised.load(std::memory_order_relaxed))
        flag->store(true, std::memory_order_relaxed);
}

}  // namespace

void InstallStopHandlers() {
#ifdef _WIN32
    std::signal(SIGINT, OnStopSignal);  // the C runtime resets it after one signal
    std::signal(SIGTERM, OnStopSignal);
#else
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // The first signal asks for a clean stop; the next one gets the default
    // action, so a user can still end a program that does not react.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed terminal stops the job as Ctrl-C does: the file in work keeps
    // a valid shortened copy.
    sigaction(SIGHUP, &action, nullptr);
    // A reader of the progress or the report that went away (`| head`) must
    // not kill the program in the middle of a file: the writes then fail and
    // the job goes on.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

int StopSignal() { return g_stopSignal.load(std::memory_order_relaxed); }

void StopAlsoRaises(std::atomic<bool>* flag) {
    g_alsoRaised.store(flag, std::memory_order_relaxed);
}
