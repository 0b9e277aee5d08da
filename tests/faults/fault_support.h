#pragma once

// Tools for making things go wrong under a running job at a chosen moment,
// and for checking afterwards what is on disk.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "engine_test_support.h"
#include "named_pipe.h"

namespace faults {

namespace fs = std::filesystem;
using enginetest::ExpectSameVideo;
using enginetest::JobInput;
using enginetest::JobOutcome;
using enginetest::Media;
using enginetest::NoisyTransportStream;
using enginetest::OutcomeOf;
using enginetest::SmallVideo;
using enginetest::StartJob;
using testmedia::TempDir;
using namespace std::chrono_literals;

std::string ReadBytes(const fs::path& file);
void WriteBytes(const fs::path& file, const std::string& bytes);

// What a folder holds, one level deep: each name with its kind and, for a
// regular file, its bytes, for a link its target. Links are never followed.
using Snapshot = std::map<std::string, std::string>;
Snapshot Snap(const fs::path& folder);

// A job that must end by itself within `limit`. If the worker still runs
// then, the test fails and a stop is raised; if even the stop does not end
// it, the test program aborts, since a hung worker cannot be joined.
JobOutcome RunJobWithin(const std::vector<JobInput>& inputs, std::chrono::seconds limit,
                        const std::function<void(CAVConverter&)>& whileRunning = nullptr);

// Calls `body` on another thread and aborts the test program when it has not
// returned within `limit`: for calls that have no stop request, the probe.
void FinishWithin(std::chrono::seconds limit, const std::function<void()>& body);

// Named pipes fed by the test.
using testmedia::FedPipe;

// Waits until the running input's progress reaches `percent`, at most 60 s.
bool WaitForProgress(const CAVConverter& engine, int percent);

// Runs `body` in a forked child and returns its exit code (128 + signal when
// it was killed). With `unprivileged`, a child of root first becomes the
// user nobody, so that file permissions apply to it. The child must not use
// test assertions: it reports through its exit code or files.
int InChild(const std::function<int()>& body, bool unprivileged = false);

// A small tmpfs mounted at `folder` (created if missing) and unmounted when
// the object goes. Mounted() is false where mounting is not allowed.
class SmallFileSystem {
public:
    SmallFileSystem(const fs::path& folder, const std::string& options);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool Mounted() const { return m_mounted; }

private:
    fs::path m_folder;
    bool m_mounted = false;
};

// Sets an environment variable for the programs started while it lives.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { unsetenv(m_name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
};

// The outcome of a job run in a child process, written to `file` by the
// child and read back by the test.
void SaveOutcome(const JobOutcome& outcome, const fs::path& file);
JobOutcome LoadOutcome(const fs::path& file);

}  // namespace faults
