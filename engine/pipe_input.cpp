#include "engine/pipe_input.h"

#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velmora {

PipeInput::~PipeInput() {
    m_io.reset();
#ifndef _WIN32
    if (m_fd >= 0) close(m_fd);
#endif
}

int PipeInput::Open(const char* name, const AVIOInterruptCB& interrupt) {
#ifdef _WIN32
    (void)name;
    (void)interrupt;
    return 0;
#else
    struct stat info {};
    if (stat(name, &info) != 0 || !S_ISFIFO(info.st_mode)) return 0;  // FFmpeg reports the rest

    // Without O_NONBLOCK, open() would wait here for the writer.
    m_fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) return AVERROR(errno);

    // A writer has come once the pipe holds data (POLLIN) or once it has
    // come and gone again (POLLHUP); before that, poll() reports nothing.
    for (;;) {
        if (interrupt.callback && interrupt.callback(interrupt.opaque)) return AVERROR_EXIT;
        pollfd waiting{m_fd, POLLIN, 0};
        const int ready = poll(&waiting, 1, 20);
        if (ready < 0 && errno != EINTR) return AVERROR(errno);
        if (ready > 0 && (waiting.revents & (POLLIN | POLLHUP | POLLERR))) break;
    }

    // The descriptor stays non-blocking: a read with nothing to read then
    // returns EAGAIN, which FFmpeg retries while it asks the interrupt
    // callback. The pipe protocol reads the descriptor and leaves it open.
    const std::string url = "pipe:" + std::to_string(m_fd);
    AVIOContext* io = nullptr;
    const int rc = avio_open2(&io, url.c_str(), AVIO_FLAG_READ, &interrupt, nullptr);
    if (rc < 0) return rc;
    m_io.reset(io);
    return 0;
#endif
}

}  // namespace velmora
