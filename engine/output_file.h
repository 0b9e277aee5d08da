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

// Creates `name` as a new, empty file, failing with AVERROR(EEXIST) when
// anything goes by that name by then. Returns 0 or an FFmpeg error code.
int CreateNewFile(const std::string& name);

// Removes a file CreateNewFile() made for this job, when it is to hold
// nothing after all.
void RemoveNewFile(const std::string& name);

}  // namespace velmora
