#pragma once

// Named pipes as job inputs. Opening a pipe blocks until a writer opens its
// other end, and reading it blocks until the writer sends something; in
// both places a stop request would go unheard and the worker could never be
// joined. So a pipe is opened without blocking, the worker waits for its
// writer while watching the stop request, and the input reads it through an
// I/O context whose reads give way to the stop request too.

#include <memory>

#include "engine/ff_ptr.h"

namespace velmora {

struct AvioContextDeleter {
    void operator()(AVIOContext* context) const { avio_closep(&context); }
};

// The read end of a named pipe and the I/O context reading it. The context
// is closed before the descriptor, which it does not own.
class PipeInput {
public:
    PipeInput() = default;
    ~PipeInput();
    PipeInput(const PipeInput&) = delete;
    PipeInput& operator=(const PipeInput&) = delete;

    // Null unless Open() succeeded: then the input reads through this.
    AVIOContext* io() const { return m_io.get(); }

    // Does nothing and returns 0 when `name` is no named pipe. Otherwise
    // opens it, waits until a writer has come (returns AVERROR_EXIT when
    // `interrupt` asks to stop first) and makes io(). Returns 0 or an FFmpeg
    // error code.
    int Open(const char* name, const AVIOInterruptCB& interrupt);

private:
    int m_fd = -1;
    std::unique_ptr<AVIOContext, AvioContextDeleter> m_io;
};

}  // namespace velmora
