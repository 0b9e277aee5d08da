#pragma once

// The output file on disk, apart from what FFmpeg writes into it. It is
// written under a temporary name of its own, made new in the output folder,
// and gets its final name only once it is finished, so a final name always
// means a finished file: a kill, a crash or a power cut leaves at most a
// temporary file "<name>.velmora-XXXXXX.part" behind. Giving it its final
// name never replaces anything: when the name is taken by then, the next
// free "(n)" name is used. Names are UTF-8.

#include <string>

#include "engine/output_io.h"

namespace velmora {

class OutputFile {
public:
    OutputFile() = default;
    // Removes the temporary file unless it was published.
    ~OutputFile() { Discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Makes a new temporary file in the folder of `finalName` (never
    // through a link, never an existing file). Returns 0 or an FFmpeg error
    // code.
    int Create(const std::string& finalName);

    // The I/O context FFmpeg writes the file through, made by OpenIo(). It
    // writes through the descriptor held here, never by name, so whatever
    // someone puts under the temporary name meanwhile is never written. The
    // context is the file's: whoever uses it must not close it.
    int OpenIo();
    AVIOContext* Io() const { return m_io.context(); }

    // Writes what the context still buffers and frees it. Returns the first
    // write error the file met, or 0.
    int CloseIo() { return m_io.Close(); }

    // True when the file was removed (alone or with its folder) after it was
    // made: what was written is gone.
    bool Removed() const;

    // Writes what the I/O context still buffers, flushes the file to the
    // disk, then gives it the name `finalName`, or the next free numbered
    // name when that is taken; `finalName` then holds the name used. Returns 0 or an FFmpeg error
    // code; on failure the file keeps its temporary name and Discard() removes it.
    int Publish(std::string& finalName);

    // Closes and removes the temporary file, if one is held.
    void Discard();

private:
    int m_fd = -1;
    std::string m_tempName;
    bool m_published = false;
    OutputIo m_io;
};

// Creates `name` as a new file, never through a link and never over
// anything that exists. Returns a descriptor open for reading and writing,
// or -1 with errno set (EEXIST when the name is taken).
int CreateNewFile(const std::string& name);

// Closes a descriptor of CreateNewFile(). Returns 0 or -1 with errno set.
int CloseFd(int fd);

}  // namespace velmora
