#pragma once

// Reading back what the worker reported for one input of the last job: the
// one reader both front ends use, so the order of the reads (status first,
// with acquire, then what it makes final) is written once.

#include <cstdint>
#include <string>

#include "engine/container_record.h"

class CAVConverter;

struct InputResult {
    int status = -1;  // InputStatus: pending, succeeded or failed
    // The output name used: the planned one, or the next free "(n)" name
    // when that was taken by the time the output was finished. Empty while
    // the input is pending and the worker still runs (it may yet change).
    std::string output;
    int error = 0;                       // FFmpeg's code for a failure; 0 = none
    std::int64_t errorTime = INT64_MIN;  // µs into the input where reading failed
    std::int64_t videoPackets = 0;       // video packets of the input (see m_llVideoPackets)
    std::int64_t leftOut = 0;            // of them, not in the output
    velmora::ContainerRecord container;  // the output's container
    // For an input cut short before the job: the output time (µs) where the
    // copy ends; INT64_MIN (AV_NOPTS_VALUE) for a whole input.
    std::int64_t fileEnd = INT64_MIN;
};

// Input `index` of the engine's last job. May be called while the worker
// runs: what is not final yet is left at its default.
InputResult ReadInputResult(const CAVConverter& engine, int index);
