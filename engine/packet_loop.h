#pragma once

#include <cstdint>

#include "engine/input_setup.h"

class CAVConverter;

namespace velmora {

struct CopyResult {
    std::int64_t videoPacketsWritten = 0;
    int writeError = 0;     // the output's I/O failed (disk full, folder gone); 0 = no
    int lastRejection = 0;  // last error of a packet the muxer refused, 0 = none
};

// Copies the video packets of the set-up input into its output with their
// timestamps shifted to start at zero, and drops everything else. Stops at
// the end of the input, at a stop request or when the output can no longer
// be written. Reports progress into `engine` for input `current`.
CopyResult CopyVideoPackets(InputSession& session, CAVConverter& engine, int current);

}  // namespace velmora
