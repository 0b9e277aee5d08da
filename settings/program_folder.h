#pragma once

// The folder of the running executable, where setting.ini and languages/
// live. Every reader and writer of those files builds its path from it at
// the moment of use.

#include <filesystem>

// The folder that holds the running executable, without a trailing
// separator, or an empty path when the system cannot tell (the files are
// then looked for in the current folder).
std::filesystem::path GetProgramFolder();

// Makes GetProgramFolder() return `folder` instead, so tests of windows that
// read their texts can use a temporary folder. An empty path restores the
// real folder.
void OverrideProgramFolder(const std::filesystem::path& folder);
