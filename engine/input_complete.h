#pragma once

// Whether an input was there in full for the copy. The demuxer ends a file
// that stops early as it ends a whole one, so a copy that reached the end of
// its input may still hold only part of it.

#include "engine/input_setup.h"

namespace velmora {

// Call once the packet loop has reached the end of the input. Returns 0 when
// the input was whole; kErrorInputChanged when the file changed size while it
// was read (cut short, or still being written); kErrorInputTruncated when the
// file's own index places packets of a copied video stream past its end, as
// in a half-copied file whose index comes first.
int CheckInputWhole(const InputSession& session);

// The input's size now, or a negative value when it has none (a pipe).
std::int64_t InputSize(AVFormatContext* input);

}  // namespace velmora
