#pragma once

// The search for the start code prefix 00 00 01 that begins every NAL unit
// of H.264 and HEVC and every header of MPEG-2 video.

#include <cstddef>
#include <cstdint>

namespace velmora {

// The index of the first start code prefix 00 00 01 that lies wholly in
// d[from..size), or `size` when there is none.
//
// Coded video is searched at every byte, so this is where a copy without
// the parser spends its time. It compares 16 bytes at a time (8 where SSE2
// is missing) with the three bytes of the prefix, and costs the same
// whatever the stream holds: a search from one byte 01 to the next stopped
// every 50 bytes in CAVLC-coded H.264, which is full of them.
std::size_t NextStartCode(const std::uint8_t* d, std::size_t from, std::size_t size);

}  // namespace velmora
