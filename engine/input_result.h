#pragma once

// What the worker did with one input of a job: one record per input, which
// the worker fills and then publishes by storing the input's status
// (release). ReadInputResult() is the one reader both front ends use, so the
// order of the reads (status first, with acquire, then the record it makes
// final) is written once. A new fact about an input is a field here, set by
// the worker and read by the front end that shows it.

#include <cstdint>
#include <string>

#include "engine/container_record.h"

class CAVConverter;

namespace velmora {

// What the worker left on disk for an input, under InputResult::output.
enum class OutputOutcome : std::int8_t {
    kNothingWritten,  // no file of this input is left (failed, or stopped
                      // before its first picture, or not reached)
    kPublished,       // the whole copy, under its final name
    kKeptShortened,   // stopped: the shortened copy, kept under its final name
    kSetAside,        // stopped: the shortened copy, set aside under
                      // "<final name>.velmora-stopped.part" (numbered when
                      // taken), never under its final name
};

}  // namespace velmora

struct InputResult {
    int status = -1;  // InputStatus: pending, succeeded or failed
    // The name of the file the input left (see `outcome`): the planned
    // name, the next free one of its sequence when that was taken by the
    // time the output was finished, or the set-aside name. With nothing
    // written, the planned name, which words a failure. Empty while the
    // input is pending and the worker still runs (it may yet change).
    std::string output;
    velmora::OutputOutcome outcome = velmora::OutputOutcome::kNothingWritten;
    // A temporary file of this input that could not be removed (its folder
    // turned read-only, say); empty when none is left.
    std::string strandedPart;
    int error = 0;                       // FFmpeg's code for a failure; 0 = none
    std::int64_t errorTime = INT64_MIN;  // µs into the input where reading failed
    // Video packets of the input: those read from the file, plus, for a file
    // cut short, those its own index lists that the file no longer holds.
    std::int64_t videoPackets = 0;
    // Of them, not in the output: packets that could not be written (times
    // that go back where the container needs them to grow, packets the
    // muxer refused) and those missing from the cut file.
    std::int64_t leftOut = 0;
    // The container the output was written in (or the one that was
    // refused), and whether the input's name stood for another one.
    velmora::ContainerRecord container;
    // For an input cut short before the job (its index reaches past its
    // end) and copied as far as it goes: the output time (µs) of the last
    // video packet copied, where the copy ends; INT64_MIN (AV_NOPTS_VALUE)
    // for a whole input.
    std::int64_t fileEnd = INT64_MIN;
};

// Input `index` of the engine's last job. May be called while the worker
// runs: what is not final yet is left at its default.
InputResult ReadInputResult(const CAVConverter& engine, int index);
