#pragma once

// What the window's file list shows for a probed file, cell by cell, as
// text; --probe prints these.

#include <cstdint>
#include <optional>
#include <string>

class CAVConverter;

struct ProbeCells {
    std::string path;
    std::string extension;  // after the last "." of the path; the whole path without one
    std::string duration;   // HH:MM:SS.mmm; empty when the duration is unknown
    std::string size;       // width*height
    std::string bitRate;    // video kbps, e.g. "2500kbps"
    std::string frameRate;  // "%5.2f" + "fps"; empty when the rate is unknown
    std::string profile;
};

// The same results as numbers, for programs that read --json.
struct ProbeNumbers {
    std::optional<double> duration;  // seconds
    int width = 0;
    int height = 0;
    std::optional<long long> bitRate;  // video bit/s
    std::optional<double> frameRate;   // frames/s
};

// Reads the results of the probe that just ran on `path`.
ProbeCells CellsOfProbe(const std::string& path, const CAVConverter& engine);
ProbeNumbers NumbersOfProbe(const CAVConverter& engine);

// The text after the last "." of the whole path, or the whole path.
std::string ExtensionOf(const std::string& path);

// Milliseconds of a duration in microseconds; empty when it is unknown
// (AV_NOPTS_VALUE, negative) or too long for the time text.
std::optional<int> DurationMs(std::int64_t microseconds);

// The cells as one line: tab-separated, or a JSON object that holds the
// numbers beside the texts.
std::string TabLine(const ProbeCells& cells);
std::string JsonLine(const ProbeCells& cells, const ProbeNumbers& numbers);

// `text` as a JSON string, quotes included. Control characters are escaped;
// a byte that is not UTF-8 becomes \udc80..\udcff, so the line is always
// valid JSON and the name can be recovered.
std::string JsonString(const std::string& text);
