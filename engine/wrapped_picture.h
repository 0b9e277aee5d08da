#pragma once

// Copying raw pictures into a muxer that takes frames, not packets. FFmpeg's
// YUV4MPEG muxer (.y4m) writes only pictures handed to it as
// "wrapped_avframe" packets: packets that carry an AVFrame instead of
// bytes. The rawvideo packets a .y4m input is read as cannot go to it as
// they are, so each is handed over as a frame that points at the packet's
// own bytes. Nothing is decoded, converted or copied: the muxer writes the
// same picture bytes back.

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmora {

// Whether the output `format` takes the pictures of a stream with the
// parameters `in` only as wrapped frames: raw video, into a muxer whose own
// video codec is wrapped_avframe.
bool TakesWrappedPictures(const AVOutputFormat* format, const AVCodecParameters* in);

// Makes `out`, declared in `output` as a copy of `in`, a stream of wrapped
// frames with the same picture size, pixel format, field order, colour
// range and aspect ratio.
void DeclareWrappedPictures(AVFormatContext* output, AVStream* out, const AVStream* in);

// Replaces the raw picture in `packet` (of the size and pixel format that
// `picture` names) by a wrapped_avframe packet whose frame references the
// same bytes, with the same timestamps and flags. Returns 0,
// AVERROR_INVALIDDATA when the packet holds less than one picture, or an
// FFmpeg error code.
int WrapRawPicture(AVPacket* packet, const AVCodecParameters* picture);

}  // namespace velmora
