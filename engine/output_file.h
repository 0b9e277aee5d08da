#pragma once

// The output file on disk, apart from what FFmpeg writes into it. It is
// written under a temporary name of its own, made new in the output folder,
// and gets its final name only once it is finished, so a final name always
// means a finished file: a kill, a crash or a power cut leaves at most a
// temporary file "<name>.velmora-XXXXXX.part" behind. Giving it its final
// name never replaces anything: when the name is taken by then, the next
// free name of the output's sequence (engine/output_name.h) is used.
//
// The folder is opened once, when the file is made, and the file is made,
// renamed and removed relative to that open folder: a folder renamed or
// swapped for a link meanwhile never sends the file elsewhere. The file is
// finished inside the folder it was made in. (On Windows the same steps go
// by name.) Names are UTF-8.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/output_io.h"
#include "engine/output_name.h"

namespace velmora {

// Whether a name is held by another output of the same job, which may not
// be on disk yet.
using NameHeld = std::function<bool(const std::string& name)>;

class OutputFile {
public:
    OutputFile() = default;
    // Removes the temporary file unless it was given a name of its own.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the folder of `finalName` and makes a new temporary file in it
    // (never through a link, never an existing file). `root` is the user's
    // output folder, which `finalName` lies below: it is opened as given
    // (the user may reach it through a link), and each folder below it is
    // opened without following a link, so no output is ever written outside
    // it. An empty `root` stands for the folder of `finalName` itself.
    // Returns 0 or an FFmpeg error code.
    int Create(const std::string& finalName, const std::string& root = {});

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
    // disk, then gives it the name at `place`, or the first one after it in
    // its sequence that is free and not `held` by another output of the
    // job; `used` gets the name (in the folder the file was made in, under
    // that folder's name now, should it have been moved). Returns 0 or an FFmpeg error code; on
    // failure the file keeps its temporary name and Discard() removes it.
    int Publish(const NamePlace& place, const NameHeld& held, std::string& used);

    // The same for a copy that is not finished (stopped): it goes straight
    // from its temporary name to SetAsideName(finalName, …), never through
    // `finalName`, which would pass it for a finished copy.
    int SetAside(const std::string& finalName, std::string& used);

    // Closes and removes the temporary file, if one is held and it was not
    // given a name of its own.
    void Discard();

    // The temporary file's name when Discard() could not remove it; empty
    // otherwise.
    const std::string& Stranded() const { return m_stranded; }

private:
    // Writes what is buffered, flushes and closes the file.
    int Finish();
    // Gives the finished file the first name `nameAt(n)`, n = from, from + 1,
    // …, that is free and not `held`.
    int NameFirstFree(long long from, const std::function<std::string(long long)>& nameAt,
                      const NameHeld& held, std::string& used);
    // Renames the temporary file to `name` (in its folder) unless taken.
    // Returns 0 or an errno.
    int RenameTo(const std::string& name);
    void RemoveTemporary();
    // The name of the folder the file is in: m_folder, or where the folder
    // is now when it was moved (or a link put in its place) since.
    std::string FolderNow() const;
    void CloseFolder();

    int m_folderFd = -1;     // the output folder, open (POSIX)
    std::string m_folder;    // its name, with its trailing separator, or empty
    std::string m_tempLeaf;  // the temporary file's name in that folder
    int m_fd = -1;
    // The temporary file as made, so that only it is ever removed.
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
    bool m_named = false;  // given a final or set-aside name
    std::string m_stranded;
    OutputIo m_io;
};

// Creates `name` as a new file, never through a link and never over
// anything that exists. Returns a descriptor open for reading and writing,
// or -1 with errno set (EEXIST when the name is taken).
int CreateNewFile(const std::string& name);

// Closes a descriptor of CreateNewFile(). Returns 0 or -1 with errno set.
int CloseFd(int fd);

}  // namespace velmora
