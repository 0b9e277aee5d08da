#pragma once

// Copies one accepted file with an engine and waits for it, passing a stop
// request (StopSignal()) on to the engine's worker.

#include <cstdint>
#include <string>

#include "engine/container_record.h"
#include "engine/input_result.h"
#include "engine/output_name.h"

class CAVConverter;

struct JobFile {
    std::string input;               // as given by the user
    std::string output;              // planned output name; after the run, the name used
    velmora::NamePlace name;         // where the planned name stands in its sequence
    std::string outputRoot;          // the output folder the output lies below
    bool setAsideIfStopped = false;  // a stopped copy never gets its final name
    double endSeconds = 0;           // what 100 % means; 0 = unknown

    enum class Outcome { kPending, kDone, kFailed, kStopped, kSkipped };
    Outcome outcome = Outcome::kPending;
    int error = 0;  // the engine's code for a failed file
    // Where in the input reading failed, in microseconds; AV_NOPTS_VALUE
    // (INT64_MIN) when the failure was not a read error.
    long long errorTime = INT64_MIN;
    long long videoPackets = 0;  // video packets of the input (read, or missing from a cut file)
    long long leftOut = 0;       // of them, not in the output
    velmora::ContainerRecord container;  // the output's container, as the engine chose it
    // For a file cut short: where its copy ends, in microseconds of the
    // output; AV_NOPTS_VALUE (INT64_MIN) for a whole file.
    long long fileEnd = INT64_MIN;
    // What the engine left under `output`.
    velmora::OutputOutcome written = velmora::OutputOutcome::kNothingWritten;
    std::string strandedPart;  // a temporary file the engine could not remove
};

// Who passes a stop request (StopSignal()) on to the engine while it copies.
enum class StopWatch {
    kHere,       // RunFile() does, looking every few milliseconds
    kElsewhere,  // another thread raises m_bStop until the worker has ended;
                 // RunFile() only waits, and returns the moment the copy ends
};

// Runs `file` as a job of its own on `engine` and fills in its outcome. The
// engine copies from the input its last probe kept when that is the same,
// unchanged file. After a stop request the file keeps a shortened output
// (kStopped; `written` says whether under its final name or set aside), or
// is kSkipped when the engine wrote nothing. The engine's
// progress fields can be read from another thread meanwhile.
void RunFile(CAVConverter& engine, JobFile& file, StopWatch watch);

// The name FFmpeg is given for a file: a relative name that looks like a
// URL ("a:b.mp4") would otherwise be taken for a protocol.
std::string FfmpegName(const std::string& name);
