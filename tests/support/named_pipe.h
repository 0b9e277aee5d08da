#pragma once

// A named pipe standing in for an input file, fed by a thread of the test,
// so that a job or a probe is in the middle of a file for as long as the
// test wants, however fast or slow the machine is. POSIX only.

#ifndef _WIN32

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace testmedia {

class FedPipe {
public:
    // Makes the pipe `pipe` and feeds it `bytes`: those up to `pauseAt` as
    // soon as a reader opens it, the rest once Resume() is called or
    // `resumeWhen` (polled on the feeding thread) returns true; with
    // `pauseAt` at the end, all of them at once. Feeding ends early when the
    // reader goes away (SIGPIPE is ignored from here on). ok() is false when
    // the pipe could not be made.
    FedPipe(std::filesystem::path pipe, std::string bytes, size_t pauseAt,
            std::function<bool()> resumeWhen = nullptr);
    // Feeds the rest, ends the feeding (a writer still waiting for a reader
    // gives up) and waits for the feeding thread.
    ~FedPipe();
    FedPipe(const FedPipe&) = delete;
    FedPipe& operator=(const FedPipe&) = delete;

    bool ok() const { return m_ok; }
    const std::filesystem::path& path() const { return m_path; }
    size_t size() const { return m_bytes.size(); }
    void Resume() { m_resumed = true; }

private:
    void Feed();

    std::filesystem::path m_path;
    std::string m_bytes;
    size_t m_pauseAt;
    std::function<bool()> m_resumeWhen;
    bool m_ok = false;
    std::atomic<bool> m_resumed{false};
    std::atomic<bool> m_cancel{false};
    std::thread m_writer;
};

}  // namespace testmedia

#endif
