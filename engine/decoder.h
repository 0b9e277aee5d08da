#pragma once

#include "engine/ff_ptr.h"

namespace velmora {

// Opens a decoder for an audio or video stream. Nothing is ever decoded: an
// open decoder only proves that the stream's parameters make sense to
// FFmpeg, so a file whose pictures or sound cannot be decoded is refused.
// Returns 0 with `decoder` set, 0 with `decoder` empty when FFmpeg has no
// decoder for the codec (the stream can still be copied), or a negative
// FFmpeg error code.
int OpenDecoder(AVFormatContext* input, AVStream* stream, CodecContextPtr& decoder);

}  // namespace velmora
