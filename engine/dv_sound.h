#pragma once

// Taking the sound out of DV video. DV keeps its sound inside every video
// frame, in the audio DIF blocks between the picture's blocks, so dropping
// the audio track of a DV file leaves the sound in the pictures: players
// and FFmpeg's DV demuxer still find and play it. These functions silence
// those blocks and mark them as holding no sound; every other block of the
// frame (header, subcode, VAUX, video) stays as it was.

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavcodec/packet.h>
}

namespace velmora {

// Silences the audio blocks of the DV frame `frame` of `size` bytes in
// place: each audio block keeps its 3-byte ID, its 5-byte AAUX pack becomes
// the no-information pack (all 0xFF), so no reader finds a sound source or
// control pack, and its 72 sample bytes become zero. Returns false, and
// leaves the frame untouched, when it is not a DV frame this knows: its
// header names no DV profile, its size is not that profile's frame size, or
// a block that is not video is not where DV puts it.
bool SilenceDvFrame(std::uint8_t* frame, std::size_t size);

// The same for the DV frame a packet holds; an empty packet is left as it
// is. The packet's bytes are made its own first, since the demuxer may
// share them. Returns 0, kErrorUnknownDvFrame (engine_errors.h) for a frame
// SilenceDvFrame() does not know, or an FFmpeg error code when the bytes
// could not be made writable.
int SilenceDvSound(AVPacket* packet);

}  // namespace velmora
