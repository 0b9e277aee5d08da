#pragma once

// Where each output goes. Without --keep-tree every output goes straight
// into the output folder; with it, under the input's own folders relative
// to the given root, so that two inputs of one name in different folders
// keep apart, and a batch split across processes fills one tree.

#include <optional>
#include <string>

// The folder below the output folder that `input`'s output goes to: "" for
// the output folder itself, else a relative path like "a/b". Empty optional
// when `input` does not lie below `root` (lexically: ".." and "." are
// resolved, links are not followed). Names are UTF-8.
std::optional<std::string> FolderBelowRoot(const std::string& root, const std::string& input);

// `folder` joined with `below` ("" leaves the folder as it is).
std::string JoinFolder(const std::string& folder, const std::string& below);

// Makes the folders of `below` inside `folder`, one level at a time. A name
// on the way that exists but is not a real folder (a file, a link, even
// one to a folder) is refused, so no output is ever written outside
// `folder`. Returns "" on success, else why not, worded for the user.
// With `make` false nothing is made: only what exists is checked (a dry run).
std::string MakeFoldersBelow(const std::string& folder, const std::string& below, bool make = true);
