#pragma once

// Replacing a file's contents so that no reader ever sees half a file.

#include <filesystem>
#include <string_view>

// Writes `bytes` to a new temporary file in the folder of `file` and renames
// it over `file`. A file that exists keeps its permissions. On any failure
// (folder missing or not writable, existing file read-only, disk full, `file`
// is a folder) `file` is left exactly as it was, the temporary file is
// removed, and false is returned. Never throws.
bool ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes) noexcept;
