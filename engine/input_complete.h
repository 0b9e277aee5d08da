#pragma once

// Whether an input was there in full for the copy. The demuxer ends a file
// that stops early as it ends a whole one, so a copy that reached the end of
// its input may still hold only part of it.

#include <cstdint>

#include "engine/input_setup.h"

namespace velmora {

// Call once the packet loop has reached the end of the input. Returns 0 when
// the file kept its size while it was read; kErrorInputChanged when it did
// not (cut short meanwhile, or still being written): then what was read is
// no fixed state of any file.
int CheckInputWhole(const InputSession& session);

// What a file that was cut short before the job (a half-copied download,
// say) shows of it, as far as its own index tells.
struct CutShort {
    bool cut = false;  // the index of a copied video stream reaches past the end
    // Video packets of the copied video streams that the index lists but the
    // file does not hold; 0 when the index only marks places to seek
    // (Matroska's cues), which cannot tell how many.
    std::int64_t missing = 0;
};

// Looks at the index of the copied video streams: entries whose data
// reaches past the end of the file (or that the copy never read) are
// missing packets, seek points past the end show a cut too. `read` is the
// number of video packets the copy read, `cutByTheEnd` the number it found
// cut in two by the end of the file. Call once the packet loop has reached
// the end of the input.
CutShort FindCutShort(const InputSession& session, std::int64_t read, std::int64_t cutByTheEnd);

// The input's size now, or a negative value when it has none (a pipe).
std::int64_t InputSize(AVFormatContext* input);

}  // namespace velmora
