#pragma once

#include <atomic>
#include <cstdint>

#include "engine/input_setup.h"

namespace velmora {

// What the copy of one input needs from the job, and where it reports.
struct CopyControl {
    const std::atomic<bool>& stop;  // ends the copy before the next packet
    double end = 0;                 // seconds that 100 % stands for; 0 = unknown
    std::atomic<int>& progress;     // percent of the input; -1 = no percentage
    double& videoPos;               // output time in seconds of the last video packet
};

struct CopyResult {
    std::int64_t videoPacketsRead = 0;          // video packets of copied streams read
    std::int64_t videoPacketsWritten = 0;       // of them, written to the output
    std::int64_t leftOut = 0;                   // of them, refused by the muxer
    std::int64_t cutByTheEnd = 0;               // video packets cut in two by the file's end
    bool stopped = false;                       // a stop request ended the copy
    int readError = 0;                          // reading the input failed; 0 = no
    std::int64_t readErrorAt = AV_NOPTS_VALUE;  // output time (µs) of the last packet before it
    int writeError = 0;     // the output's I/O failed (disk full, folder gone); 0 = no
    int lastRejection = 0;  // last error of a packet the muxer refused, 0 = none
    int timeLineJumps = 0;  // times the input's time line started again
    // A packet could not be made what the output needs (a DV frame whose
    // sound cannot be found): the copy is refused. 0 = no.
    int refusal = 0;
    // Read without the parser, a packet was not what the parser would have
    // made: the copy must be made again through the parser.
    bool needsParser = false;
};

// Copies the video packets of the set-up input into its output with their
// timestamps shifted to start at zero, and drops everything else. Stops at
// the end of the input, at a stop request, at a read error or when the
// output can no longer be written.
CopyResult CopyVideoPackets(InputSession& session, const CopyControl& control);

}  // namespace velmora
