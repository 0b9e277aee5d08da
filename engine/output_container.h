#pragma once

// What the output container, chosen from the output name's extension, can
// take. The probe and the job ask the same questions, so a file the probe
// accepts is one the job can write.

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmora {

// 0 when the container of `outputName` is one FFmpeg can write into a single
// file and can hold every video stream of `input`; otherwise
// AVERROR_MUXER_NOT_FOUND (no container for the extension),
// kErrorNotSingleFile (the muxer writes files of its own: image sequences,
// playlists, segments) or kErrorCodecNotInContainer.
int CheckOutputContainer(const char* outputName, const AVFormatContext* input);

}  // namespace velmora
