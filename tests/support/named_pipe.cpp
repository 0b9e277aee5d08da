#include "named_pipe.h"

#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

namespace testmedia {

FedPipe::FedPipe(std::filesystem::path pipe, std::string bytes, size_t pauseAt,
                 std::function<bool()> resumeWhen)
    : m_path(std::move(pipe)),
      m_bytes(std::move(bytes)),
      m_pauseAt(std::min(pauseAt, m_bytes.size())),
      m_resumeWhen(std::move(resumeWhen)) {
    std::signal(SIGPIPE, SIG_IGN);  // the reader may close its end early
    m_ok = mkfifo(m_path.c_str(), 0600) == 0;
    if (m_ok) m_writer = std::thread([this] { Feed(); });
}

FedPipe::~FedPipe() {
    m_cancel = true;
    if (m_writer.joinable()) m_writer.join();
}

void FedPipe::Feed() {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::minutes(3);
    const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); };
    // Without a reader a non-blocking open fails: wait for one, or for the
    // end of the test.
    int fd = -1;
    while (!m_cancel && Clock::now() < deadline) {
        fd = open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) break;
        pause();
    }
    if (fd < 0) return;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size_t done = 0;
    const auto send = [&](size_t upTo) {
        while (done < upTo) {
            const ssize_t n = write(fd, m_bytes.data() + done, upTo - done);
            if (n <= 0) return false;  // the reader has gone
            done += static_cast<size_t>(n);
        }
        return true;
    };
    if (send(m_pauseAt) && m_pauseAt < m_bytes.size()) {
        while (!m_resumed && !m_cancel && !(m_resumeWhen && m_resumeWhen()) &&
               Clock::now() < deadline)
            pause();
        send(m_bytes.size());
    }
    close(fd);
}

}  // namespace testmedia

#endif
