#pragma once

// Everything the worker holds while it copies one input, and the set-up that
// fills it: open the input, prove its audio and video decodable, create the
// output with one stream per video and audio stream, write the header.

#include <cstdint>
#include <vector>

#include "engine/ff_ptr.h"
#include "engine/pipe_input.h"

namespace velmora {

// Per input stream.
struct StreamContext {
    CodecContextPtr decoder;  // opened only to prove the stream decodable
    int outputIndex = -1;     // -1: the stream is left behind
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
};

// Members are released in reverse order: decoders, then the input, then a
// pipe the input read through, then the output (which closes its file if
// still open).
struct InputSession {
    OutputFormatPtr output;
    PipeInput pipe;
    InputFormatPtr input;
    std::vector<StreamContext> streams;
    std::int64_t sizeAtOpen = -1;  // the input file's size when opened; -1: none
};

// How a set-up ended. A failed input lets the job go on with the next one;
// a failed job ends the worker. A stop request that arrives while the input
// is being opened ends the set-up before the output file is created: the
// input's stream facts may be incomplete, and a header written from them
// could leave a broken file.
enum class SetupOutcome { kReady, kStopped, kFailInput, kFailJob };

struct SetupResult {
    SetupOutcome outcome = SetupOutcome::kReady;
    int error = 0;  // FFmpeg error code when not ready
};

// Fills `session` for copying `inputName` into `outputName`. `interrupt`
// goes on the input only: a stop request must never keep the output from
// getting its trailer. With `createNew`, the output file is created only if
// nothing goes by its name: a file that turned up under a name that was free
// when the job started is never replaced (the input fails with EEXIST).
SetupResult SetUpInput(InputSession& session, const char* inputName, const char* outputName,
                       const AVIOInterruptCB& interrupt, bool createNew);

}  // namespace velmora
