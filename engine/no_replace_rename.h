#pragma once

// Giving a file another name without ever replacing what goes by that name,
// on every file system: everyone in the program who renames a file does it
// through here. Names are UTF-8.

#include <string>

namespace velmora {

#ifndef _WIN32
// Renames `from` in the folder `fromFolder` to `to` in the folder
// `toFolder` (descriptors of open folders, or AT_FDCWD) unless something
// goes by `to`. Returns 0, or the errno of the failure (EEXIST when `to` is
// taken).
//
// Where the file system has no RENAME_NOREPLACE, a hard link is made (never
// over an existing name) and the old name removed. Where it has neither
// (FAT or exFAT through FUSE, say), `to` is first made as a new, empty file
// (an exclusive create never takes an existing name) and the file renamed
// over that placeholder. Between those two steps, someone who removed the
// placeholder and put a file of their own under its name in the same
// moment would have it replaced: a window of one system call, against a
// name that was free the moment before.
int RenameNoReplaceAt(int fromFolder, const std::string& from, int toFolder, const std::string& to);
#endif

// The same for two names relative to the working folder.
int RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace velmora
