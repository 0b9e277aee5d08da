#pragma once

// What a row of the file list shows for a probed file, cell by cell, as
// UTF-8 text. No Qt here: the window's list and `velmora-cli --probe` both
// take their texts from CellsOfProbe(), so they always show the same.

#include <cstdint>
#include <string>

#include "engine/probe_facts.h"

struct ProbeCells {
    std::string path;
    std::string extension;    // after the last "." of the path; the whole path without one
    std::string duration;     // HH:MM:SS.mmm; empty when the duration is unknown
    std::string size;         // width*height
    std::string bitRate;      // video kbps, e.g. "2500kbps"; empty when not known
    std::string frameRate;    // "%5.2f" + "fps"; " 0.00fps" for a zero denominator
    std::string profile;      // the video's profile number
    std::string profileName;  // its name, e.g. "High"; empty when it has none
};

// The cells of `path` from what the probe found in it.
ProbeCells CellsOfProbe(const std::string& path, const velmora::ProbeFacts& facts);

// The text after the last "." of the whole path, or the whole path. A dot in
// a folder name counts when the file name has none ("/a.b/movie" gives
// "b/movie").
std::string ExtensionOf(const std::string& path);

// The duration cell for a duration in microseconds: time text of the whole
// milliseconds, at most the largest 32-bit count; empty when the duration
// is unknown (AV_NOPTS_VALUE) or negative, so a job on the file runs
// without a percentage instead of with a made-up length.
std::string DurationText(std::int64_t microseconds);

// The name FFmpeg gives profile `profile` of the video codec `codecId`
// (an AVCodecID), e.g. "High" or "Main 10"; empty when it has none.
std::string ProfileName(int codecId, int profile);

// The frame-rate cell: numerator / denominator with "%5.2f" and "fps". A
// zero denominator has no finite rate and shows as " 0.00fps".
std::string FrameRateText(int numerator, int denominator);
