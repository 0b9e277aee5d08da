#pragma once

// Reading and writing single values of INI files (setting.ini and the
// language files), with the rules programs written against the Windows
// private-profile functions rely on:
//
// - "[name]" opens a section; "key=value" lines inside it give values. Names
//   match without regard to ASCII letter case; blanks around names and
//   values are ignored, and one pair of matching quotes around a value is
//   removed when it is read. Lines starting with ";" are comments.
// - When a file, section or key is missing, the caller's default comes back;
//   "key=" reads as the empty text. In a section or key that occurs twice,
//   the first one counts.
// - A text read is cut to its first 999 characters.
// - A file starting with the UTF-16LE byte-order mark is UTF-16LE, any other
//   file UTF-8 (a UTF-8 byte-order mark is skipped). Text in and out of these
//   functions is UTF-8.
// - A write changes only the one line of its key, or adds that line (and the
//   section, and the file) when missing; every other byte of the file stays
//   as it was, and the file keeps its encoding and line ends.
//
// Both functions take the file's path, read or write it at once and keep
// nothing in memory. Neither throws.

#include <filesystem>
#include <string>
#include <string_view>

// Longest text a read gives back, in characters (code points).
inline constexpr std::size_t kMaxProfileTextLength = 999;

// The value of `key` in `section` of the INI file at `file`, or
// `defaultValue` when the file cannot be read or has no such key.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view defaultValue);

// Sets `key` in `section` of the INI file at `file` to `value`. The file is
// replaced as a whole through a temporary file beside it, so it is either
// fully updated or untouched. Returns false, changing nothing, when the file
// cannot be read or written (read-only, folder missing or not writable) or
// when a name or the value could not be stored in an INI line (line breaks,
// NUL, "=" in a key, "]" in a section name). Callers that do not care about
// the outcome may ignore it.
bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value);
