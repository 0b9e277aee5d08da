#pragma once

// Runs the accepted files through the engine as one job, following it
// every 100 ms, and goes on after a failed job with the files that remain.

#include <cstdint>
#include <string>
#include <vector>

#include "cli/progress.h"

class CAVConverter;

struct JobFile {
    std::string input;      // as given by the user
    std::string output;     // planned output name
    double endSeconds = 0;  // what 100 % means; 0 = unknown

    enum class Outcome { kPending, kDone, kFailed, kStopped, kSkipped };
    Outcome outcome = Outcome::kPending;
    int error = 0;  // the engine's code for a failed file
    // Where in the input reading failed, in microseconds; AV_NOPTS_VALUE
    // (INT64_MIN) when the failure was not a read error.
    long long errorTime = INT64_MIN;
    long long videoPackets = 0;  // video packets read from the input
    long long leftOut = 0;       // of them, not in the output
};

// Runs `files` in order and fills in their outcomes. Returns when every
// file has an outcome, or after a stop request (StopSignal()) has been
// honoured: the file in work then keeps a shortened output (kStopped) and
// the files after it are kSkipped.
void RunJob(CAVConverter& engine, std::vector<JobFile>& files, ProgressPrinter& progress);

// The name FFmpeg is given for a file: a relative name that looks like a
// URL ("a:b.mp4") would otherwise be taken for a protocol.
std::string FfmpegName(const std::string& name);
