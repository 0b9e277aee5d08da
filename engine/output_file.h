#pragma once

// The output file on disk, apart from what FFmpeg writes into it: whether
// its name is free (before the job, and again once the file is written, to
// tell that someone removed it meanwhile) and creating it without replacing
// anything. Names are UTF-8.

#include <string>

namespace velmora {

// True when nothing at all goes by `name`: no file, folder or link, not even
// a link to nothing. A name whose state cannot be read counts as taken:
// opening it then reports why, and a written file is not taken for removed.
bool NameIsFree(const std::string& name);

// A new, empty file made for the job, held open until FFmpeg has opened it
// too. Where the system can name an open file (/proc/self/fd on Linux),
// FFmpeg opens it by that name, so that whatever someone puts under the
// file's own name in between, a link above all, is never written.
class NewFile {
public:
    NewFile() = default;
    ~NewFile() { Close(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Creates `name`, failing with AVERROR(EEXIST) when anything goes by
    // that name by then. Returns 0 or an FFmpeg error code.
    int Create(const std::string& name);

    // The name FFmpeg is to open the created file by.
    const std::string& OpenName() const { return m_openName; }

    // Lets go of the file (Windows removes no file that is still open).
    void Close();

private:
    int m_fd = -1;
    std::string m_openName;
};

// Removes a file NewFile made for this job, when it is to hold nothing
// after all.
void RemoveNewFile(const std::string& name);

}  // namespace velmora
