#include "engine/input_file.h"

#include <sys/stat.h>

#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace velmora {

namespace {

// What a demuxer gets when it asks for another file or URL: playlists (HLS),
// manifests (DASH), concat lists and image sequences open further names, and
// a file named like a video must not make the program read other files.
int RefuseOtherFiles(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

}  // namespace

InputFile::~InputFile() {
    m_io.reset();
#ifndef _WIN32
    if (m_pipeFd >= 0) close(m_pipeFd);
#endif
}

void InputFile::Bind(AVFormatContext* context) const {
    context->pb = m_io.get();
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    context->io_open = &RefuseOtherFiles;
}

int InputFile::Open(const char* name, const AVIOInterruptCB& interrupt) {
#ifndef _WIN32
    struct stat info {};
    if (stat(name, &info) != 0) return AVERROR(errno);
    if (S_ISFIFO(info.st_mode)) return OpenPipe(name, interrupt);
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? AVERROR(EISDIR) : AVERROR_INVALIDDATA;
#endif
    // The file protocol named outright: whatever the name looks like, it is
    // the name of a file.
    const std::string url = std::string("file:") + name;
    AVIOContext* io = nullptr;
    const int rc = avio_open2(&io, url.c_str(), AVIO_FLAG_READ, &interrupt, nullptr);
    if (rc < 0) return rc;
    m_io.reset(io);
    return 0;
}

int InputFile::OpenPipe(const char* name, const AVIOInterruptCB& interrupt) {
#ifdef _WIN32
    (void)name;
    (void)interrupt;
    return AVERROR(ENOSYS);
#else
    // Without O_NONBLOCK, open() would wait here for the writer.
    m_pipeFd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_pipeFd < 0) return AVERROR(errno);

    // A writer has come once the pipe holds data (POLLIN) or once it has
    // come and gone again (POLLHUP); before that, poll() reports nothing.
    for (;;) {
        if (interrupt.callback && interrupt.callback(interrupt.opaque)) return AVERROR_EXIT;
        pollfd waiting{m_pipeFd, POLLIN, 0};
        const int ready = poll(&waiting, 1, 20);
        if (ready < 0 && errno != EINTR) return AVERROR(errno);
        if (ready > 0 && (waiting.revents & (POLLIN | POLLHUP | POLLERR))) break;
    }

    // The descriptor stays non-blocking: a read with nothing to read then
    // returns EAGAIN, which FFmpeg retries while it asks the interrupt
    // callback. The pipe protocol reads the descriptor and leaves it open.
    const std::string url = "pipe:" + std::to_string(m_pipeFd);
    AVIOContext* io = nullptr;
    const int rc = avio_open2(&io, url.c_str(), AVIO_FLAG_READ, &interrupt, nullptr);
    if (rc < 0) return rc;
    m_io.reset(io);
    return 0;
#endif
}

}  // namespace velmora
