#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmora {

// Declares in `output` a stream that takes the packets of video stream `in`
// unchanged: same codec parameters, time base, frame rates, dispositions,
// tags (language, title, timecode), picture shape and side data, so a
// rotated picture stays rotated. Returns the new stream's index or a negative FFmpeg error
// code.
int AddOutputStream(AVFormatContext* output, const AVStream* in);

}  // namespace velmora
