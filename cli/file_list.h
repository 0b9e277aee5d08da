#pragma once

// The names of a --files-from list: one per line, or NUL-separated (as
// `find -print0` writes them) so that a name may hold a newline.

#include <string>
#include <vector>

struct FileList {
    std::vector<std::string> names;
    std::string error;  // non-empty: the list could not be read, worded for the user
};

// Splits the text of a list. Empty entries are left out; nothing else is
// changed, so a name keeps its spaces, its tabs and (NUL-separated) its
// newlines.
std::vector<std::string> SplitFileList(const std::string& text, bool nulSeparated);

// Reads the list in file `source`, or standard input when it is "-".
FileList ReadFileList(const std::string& source, bool nulSeparated);
