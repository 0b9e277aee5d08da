#pragma once

// A raw DV file (.dv) is nothing but its frames, one after the other. FFmpeg's
// DV muxer does not write the frames it is given as they are: it writes its
// own timecode and recording date and time into the subcode and VAUX blocks
// of every frame (made up from the output's metadata, or from zero), so a
// camera's timecode and recording dates would be lost. A raw DV output is
// therefore written by the rawvideo muxer, which writes each packet's bytes
// unchanged: the same file the DV muxer would make, with the frames' own
// subcode and VAUX kept.

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmora {

// The muxer that writes what `chosen` stands for: FFmpeg's rawvideo muxer
// for its DV muxer, else `chosen` itself.
const AVOutputFormat* VerbatimMuxerFor(const AVOutputFormat* chosen);

}  // namespace velmora
