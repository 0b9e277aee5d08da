#pragma once

// The lines --probe prints for a probed file: the file list's cells (see
// frontend_core/probe_cells.h), tab-separated or as JSON beside the numbers.

#include <optional>
#include <string>

#include "engine/probe_facts.h"
#include "frontend_core/probe_cells.h"

// The same results as numbers, for programs that read --json.
struct ProbeNumbers {
    std::optional<double> duration;  // seconds
    int width = 0;
    int height = 0;
    std::optional<long long> bitRate;  // video bit/s
    std::optional<double> frameRate;   // frames/s
};

// The numbers of what a probe found.
ProbeNumbers NumbersOfProbe(const velmora::ProbeFacts& facts);

// The cells as one line: tab-separated, the profile's name (empty when it
// has none) after its number, or a JSON object that holds the numbers beside
// the texts, the profile's name null when it has none.
std::string TabLine(const ProbeCells& cells);
std::string JsonLine(const ProbeCells& cells, const ProbeNumbers& numbers);

// `text` as a JSON string, quotes included. Control characters are escaped;
// a byte that is not UTF-8 becomes \udc80..\udcff, so the line is always
// valid JSON and the name can be recovered.
std::string JsonString(const std::string& text);
