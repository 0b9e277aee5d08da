#include "read_shim.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace readshim {
namespace {

std::mutex g_lock;
Plan g_plan;
std::atomic<bool> g_active{false};
std::atomic<bool> g_held{false};
std::atomic<bool> g_released{false};

}  // namespace
void Watch(const Plan& plan);
namespace {

using ReadFunction = ssize_t (*)(int, void*, size_t);

ReadFunction RealRead() {
    static const auto real = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    return real;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Loaded into another program (LD_PRELOAD), the plan comes from the
// environment: VELMORA_READ_SHIM_PATH, _ERROR_AT, _ERRNO and _DELAY_US.
void PlanFromEnvironment() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* path = std::getenv("VELMORA_READ_SHIM_PATH");
        if (!path || !*path) return;
        Plan plan;
        plan.pathEnd = path;
        if (const char* at = std::getenv("VELMORA_READ_SHIM_ERROR_AT"))
            plan.errorAt = std::atoll(at);
        if (const char* error = std::getenv("VELMORA_READ_SHIM_ERRNO"))
            plan.error = std::atoi(error);
        if (const char* us = std::getenv("VELMORA_READ_SHIM_DELAY_US"))
            plan.delayMicroseconds = std::atoi(us);
        Watch(plan);
    });
}

// The plan for descriptor `fd`, when it reads the watched file.
bool PlanFor(int fd, Plan& plan) {
    PlanFromEnvironment();
    if (!g_active.load()) return false;
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), path, sizeof path - 1);
    if (n <= 0) return false;
    std::lock_guard<std::mutex> hold(g_lock);
    if (!EndsWith(std::string(path, static_cast<size_t>(n)), g_plan.pathEnd)) return false;
    plan = g_plan;
    return true;
}

}  // namespace

void Watch(const Plan& plan) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_plan = plan;
    g_held = false;
    g_released = false;
    g_active = true;
}

void Reset() {
    g_active = false;
    g_released = true;
}

bool WaitUntilHeld() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!g_held && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return g_held;
}

void Release() { g_released = true; }

}  // namespace readshim

// Calls of read() from FFmpeg's file protocol reach this one: the test
// program exports it, so it comes before the C library's.
extern "C" ssize_t read(int fd, void* buffer, size_t size) {
    using namespace readshim;
    Plan plan;
    if (!PlanFor(fd, plan)) return RealRead()(fd, buffer, size);
    if (plan.delayMicroseconds > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(plan.delayMicroseconds));
    const off_t at = lseek(fd, 0, SEEK_CUR);
    const std::int64_t end = static_cast<std::int64_t>(at) + static_cast<std::int64_t>(size);
    if (plan.holdAt >= 0 && at >= 0 && end > plan.holdAt) {
        while (!g_released) {
            g_held = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (plan.errorAt >= 0 && at >= 0 && end > plan.errorAt) {
        if (at >= plan.errorAt) {
            errno = plan.error;
            return -1;
        }
        size = static_cast<size_t>(plan.errorAt - at);  // the good bytes first
    }
    return RealRead()(fd, buffer, size);
}
