#pragma once

// Everything the worker holds while it copies one input, and the set-up that
// fills it: open the input, prove its audio and video decodable, create the
// output with one stream per video and audio stream, write the header.

#include <cstdint>
#include <vector>

#include "engine/container_record.h"
#include "engine/ff_ptr.h"
#include "engine/input_file.h"
#include "engine/interrupt_relay.h"
#include "engine/output_file.h"
#include "engine/packet_times.h"
#include "engine/unparsed_video.h"

namespace velmora {

// Per input stream.
struct StreamContext {
    CodecContextPtr decoder;  // opened only to prove the stream decodable
    int outputIndex = -1;     // -1: the stream is left behind
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
};

// Members are released in reverse order: decoders, then the input, then the
// file it read, then the output (which closes its file if still open), then
// the output file on disk (removed unless it was published), and last the
// relay the input's reads ask whether to give way.
struct InputSession {
    std::unique_ptr<InterruptRelay> relay;
    OutputFile file;
    OutputFormatPtr output;
    InputFile source;
    InputFormatPtr input;
    std::vector<StreamContext> streams;
    // Taken off every copied packet, and off the chapters.
    FileShift shift;
    std::int64_t sizeAtOpen = -1;  // the input file's size when opened; -1: none
    // Set when the video is read without the parser (transport streams).
    std::unique_ptr<UnparsedVideo> unparsed;
    bool keepParser = false;  // never read without the parser
    // The container chosen for the output (or refused), for the front ends.
    ContainerRecord container;
};

// How a set-up ended. A stop request that arrives while the input is being
// opened ends the set-up before the output file is made: the input's stream
// facts may be incomplete, and a header written from them could leave a
// broken file.
enum class SetupOutcome { kReady, kStopped, kFailed };

struct SetupResult {
    SetupOutcome outcome = SetupOutcome::kReady;
    int error = 0;  // FFmpeg or engine error code when failed
};

// Opens `name` as the input of `session`: the file through InputFile, its
// streams analysed and its audio and video decoders proven. `interrupt` ends
// a read that takes too long; it is reached through session.relay, so a
// later holder of the input can put its own in its place. Returns 0 or an
// error code.
int OpenInput(InputSession& session, const char* name, const AVIOInterruptCB& interrupt);

// Fills `session` for copying `inputName` into a new file named
// `outputName` (written under a temporary name until the worker publishes
// it), in the folder below `outputRoot` (see OutputFile::Create()).
// `interrupt` goes on the input only: a stop request must never keep
// the output from getting its trailer. A session whose input is open
// already (handed over by the probe of the same file) keeps it and its
// analysis. The output's container is chosen by ChooseOutputContainer();
// session.container records the choice once the input is open.
SetupResult SetUpInput(InputSession& session, const char* inputName, const char* outputName,
                       const std::string& outputRoot, const AVIOInterruptCB& interrupt);

}  // namespace velmora
