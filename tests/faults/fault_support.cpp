#include "fault_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <sstream>

namespace faults {

using Clock = std::chrono::steady_clock;

// The engine may close a pipe a test still feeds, and a test may feed a
// process that has gone: a write then fails instead of ending the tests.
const int kIgnoreBrokenPipes = [] {
    std::signal(SIGPIPE, SIG_IGN);
    return 0;
}();

std::string ReadBytes(const fs::path& file) { return testmedia::ReadAll(file); }

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

Snapshot Snap(const fs::path& folder) {
    Snapshot snapshot;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const fs::file_status status = entry.symlink_status();
        if (fs::is_symlink(status))
            snapshot[name] = "link to " + fs::read_symlink(entry.path()).string();
        else if (fs::is_directory(status))
            snapshot[name] = "folder";
        else if (fs::is_regular_file(status))
            snapshot[name] = "file " + ReadBytes(entry.path());
        else
            snapshot[name] = "other";
    }
    return snapshot;
}

JobOutcome RunJobWithin(const std::vector<JobInput>& inputs, std::chrono::seconds limit,
                        const std::function<void(CAVConverter&)>& whileRunning) {
    CAVConverter engine;
    StartJob(engine, inputs);
    if (whileRunning) whileRunning(engine);

    auto waitFor = [&](std::chrono::seconds span) {
        const auto until = Clock::now() + span;
        while (engine.IsRunning() && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return !engine.IsRunning();
    };
    if (!waitFor(limit)) {
        ADD_FAILURE() << "the job did not end within " << limit.count() << " s";
        engine.m_bStop = true;
        if (!waitFor(limit)) {
            std::fprintf(stderr, "the job does not end even after a stop request\n");
            std::abort();
        }
    }
    engine.Join();
    return OutcomeOf(engine, static_cast<int>(inputs.size()));
}

void FinishWithin(std::chrono::seconds limit, const std::function<void()>& body) {
    // Not std::async: the destructor of its future would wait for a hung call.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([body, done] {
        body();
        done->set_value();
    }).detach();
    if (finished.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "a call did not return within %lld s\n",
                     static_cast<long long>(limit.count()));
        std::abort();
    }
}

bool WaitForProgress(const CAVConverter& engine, int percent) {
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (engine.m_nProgress < percent && engine.IsRunning() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return engine.m_nProgress >= percent;
}

// ---- Processes and file systems --------------------------------------------

int InChild(const std::function<int()>& body, bool unprivileged) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(125);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

SmallFileSystem::SmallFileSystem(const fs::path& folder, const std::string& options)
    : m_folder(folder) {
    fs::create_directories(folder);
    m_mounted = mount("velmora-test", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallFileSystem::~SmallFileSystem() {
    if (m_mounted) umount2(m_folder.c_str(), MNT_DETACH);
}

void SaveOutcome(const JobOutcome& outcome, const fs::path& file) {
    std::ofstream out(file);
    out << outcome.current << ' ' << outcome.result << ' ' << outcome.statuses.size();
    for (size_t i = 0; i < outcome.statuses.size(); ++i)
        out << ' ' << outcome.statuses[i] << ' ' << outcome.errors[i];
    out << '\n';
}

JobOutcome LoadOutcome(const fs::path& file) {
    JobOutcome outcome;
    std::ifstream in(file);
    size_t count = 0;
    in >> outcome.current >> outcome.result >> count;
    outcome.statuses.resize(count);
    outcome.errors.resize(count);
    for (size_t i = 0; i < count; ++i) in >> outcome.statuses[i] >> outcome.errors[i];
    return outcome;
}

}  // namespace faults
