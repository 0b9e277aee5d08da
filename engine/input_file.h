#pragma once

// The one local file a job or a probe reads, opened by the engine itself so
// that FFmpeg never opens anything by name: an input name is always a file
// name, never a protocol, URL or pattern ("pipe:", "concat:", "http://",
// "%d"), and a demuxer that would open other files or URLs (playlists,
// manifests, concat lists, image sequences) is refused when it tries.
//
// Named pipes are read too. Opening a pipe blocks until a writer opens its
// other end, and reading it blocks until the writer sends something; in both
// places a stop request would go unheard. So a pipe is opened without
// blocking, the open waits for its writer while watching the stop request,
// and its reads give way to the stop request too.

#include <memory>

#include "engine/ff_ptr.h"

namespace velmora {

struct AvioContextDeleter {
    void operator()(AVIOContext* context) const { avio_closep(&context); }
};

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `name` (a regular file or a named pipe) for reading; reads give
    // way to `interrupt`. Anything else (a folder, a device) is refused with
    // AVERROR_INVALIDDATA. Returns 0 or an FFmpeg error code.
    int Open(const char* name, const AVIOInterruptCB& interrupt);

    // The I/O context reading the file; null unless Open() succeeded.
    AVIOContext* io() const { return m_io.get(); }

    // Makes `context` read through io() only: it may open nothing else.
    void Bind(AVFormatContext* context) const;

private:
    int OpenPipe(const char* name, const AVIOInterruptCB& interrupt);

    int m_pipeFd = -1;
    std::unique_ptr<AVIOContext, AvioContextDeleter> m_io;
};

}  // namespace velmora
