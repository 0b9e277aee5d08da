#include "engine/output_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace velmora {

namespace {

// FFmpeg's file protocol writes in pieces of this size; smaller pieces cost
// more calls, larger ones were not faster (measured on 300 MB copies).
constexpr int kBufferSize = 256 * 1024;

#ifdef __linux__
// How much is written before the kernel is asked to start writing it to
// the disk.
constexpr std::int64_t kWriteBehindStep = 8 * 1024 * 1024;
#endif

#ifdef _WIN32
long long WriteSome(int fd, const std::uint8_t* data, int size) {
    return _write(fd, data, static_cast<unsigned>(size));
}
long long SeekTo(int fd, std::int64_t offset, int whence) { return _lseeki64(fd, offset, whence); }
long long SizeOf(int fd) {
    struct _stat64 info {};
    return _fstat64(fd, &info) == 0 ? info.st_size : -1;
}
#else
long long WriteSome(int fd, const std::uint8_t* data, int size) {
    return write(fd, data, static_cast<size_t>(size));
}
long long SeekTo(int fd, std::int64_t offset, int whence) { return lseek(fd, offset, whence); }
long long SizeOf(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 ? info.st_size : -1;
}
#endif

}  // namespace

void OutputIo::ContextDeleter::operator()(AVIOContext* context) const {
    // FFmpeg may have replaced the buffer it was given; it is the context's.
    av_freep(&context->buffer);
    avio_context_free(&context);
}

int OutputIo::Open(int fd) {
    m_context.reset();
    m_fd = fd;
    m_position = 0;
    m_handedOver = 0;
    m_writeBehind = true;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer) return AVERROR(ENOMEM);
    AVIOContext* context = avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, &Write, &Seek);
    if (!context) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    // As FFmpeg's file protocol does: without a least amount, the muxer's
    // flush after every packet would make one small write per packet.
    context->min_packet_size = kBufferSize;
    context->max_packet_size = kBufferSize;
    m_context.reset(context);
    return 0;
}

int OutputIo::Close() {
    if (!m_context) return 0;
    avio_flush(m_context.get());
    const int error = m_context->error;
    m_context.reset();
    return error;
}

#if VELMORA_AVIO_WRITES_CONST
int OutputIo::Write(void* opaque, const std::uint8_t* data, int size) {
#else
int OutputIo::Write(void* opaque, std::uint8_t* data, int size) {
#endif
    auto& io = *static_cast<OutputIo*>(opaque);
    for (int done = 0; done < size;) {
        const long long written = WriteSome(io.m_fd, data + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return AVERROR(errno);
        if (written == 0) return AVERROR(EIO);
        done += static_cast<int>(written);
    }
    io.m_position += size;
    if (const int rc = io.WriteBehind(io.m_position); rc < 0) return rc;
    return size;
}

std::int64_t OutputIo::Seek(void* opaque, std::int64_t offset, int whence) {
    auto& io = *static_cast<OutputIo*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        const long long size = SizeOf(io.m_fd);
        return size < 0 ? AVERROR(errno) : size;
    }
    const long long at = SeekTo(io.m_fd, offset, whence);
    if (at < 0) return AVERROR(errno);
    io.m_position = at;
    return at;
}

int OutputIo::WriteBehind(std::int64_t end) {
#ifdef __linux__
    if (!m_writeBehind || end - m_handedOver < kWriteBehindStep) return 0;
    // Only a start: the call returns once the writes are queued. Its errors
    // are the file's: a disk error found here may not be reported again by
    // the flush at the end.
    if (sync_file_range(m_fd, m_handedOver, end - m_handedOver, SYNC_FILE_RANGE_WRITE) != 0) {
        if (errno == EINVAL || errno == ESPIPE || errno == ENOSYS || errno == EOPNOTSUPP) {
            m_writeBehind = false;  // a file system that cannot: the flush does it all
            return 0;
        }
        return AVERROR(errno);
    }
    m_handedOver = end;
#else
    (void)end;
#endif
    return 0;
}

}  // namespace velmora
