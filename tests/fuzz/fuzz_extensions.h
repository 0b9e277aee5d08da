#pragma once

// The first byte of a fuzzing input picks the file's extension from this
// table (byte modulo its size); the rest is the file. Shared by the fuzzing
// target and the test that replays the kept crashing inputs.

#include <array>

inline constexpr std::array<const char*, 12> kFuzzExtensions = {
    "mp4", "mkv", "ts", "avi", "mov", "flv", "webm", "mpg", "3gp", "m4v", "wmv", "ogv"};
