#pragma once

// The I/O context FFmpeg writes the output through: the engine's own, over
// the descriptor the output file is held by, instead of FFmpeg's file
// protocol opening the file a second time. Write errors reach the context's
// `error` as with FFmpeg's own (AVERROR(errno) of the failed write).
//
// On Linux it also hands what is written to the kernel every few MiB, to be
// written to the disk in the background while the copy goes on, so the flush
// before the output gets its final name has little left to wait for.

#include <cstdint>
#include <memory>

extern "C" {
#include <libavformat/avio.h>
}

#include "engine/ffmpeg_compat.h"

namespace velmora {

class OutputIo {
public:
    OutputIo() = default;
    OutputIo(const OutputIo&) = delete;
    OutputIo& operator=(const OutputIo&) = delete;

    // Makes the context over `fd`, a new file open for reading and writing
    // at its start. The descriptor stays the caller's. Returns 0 or an
    // FFmpeg error code.
    int Open(int fd);

    // The context; null unless open.
    AVIOContext* context() const { return m_context.get(); }

    // Writes what is still buffered and frees the context. Returns the first
    // error any write met, or 0.
    int Close();

    // Frees the context without writing what is buffered: for a file that
    // is given up.
    void Release() { m_context.reset(); }

private:
#if VELMORA_AVIO_WRITES_CONST
    static int Write(void* opaque, const std::uint8_t* data, int size);
#else
    static int Write(void* opaque, std::uint8_t* data, int size);
#endif
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);

    // Starts the disk writes of what lies before `end`, once enough has come
    // together. Returns 0 or an FFmpeg error code.
    int WriteBehind(std::int64_t end);

    struct ContextDeleter {
        void operator()(AVIOContext* context) const;
    };

    int m_fd = -1;
    std::int64_t m_position = 0;    // where the next write lands
    std::int64_t m_handedOver = 0;  // the kernel was asked to write up to here
    bool m_writeBehind = true;
    std::unique_ptr<AVIOContext, ContextDeleter> m_context;
};

}  // namespace velmora
