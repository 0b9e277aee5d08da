#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmora {

// Declares in `output` a stream that takes the packets of input stream `in`
// unchanged: same codec parameters and time base; for video also the
// stream's tags and side data, so a rotated picture stays rotated. Returns
// the new stream's index or a negative FFmpeg error code.
int AddOutputStream(AVFormatContext* output, const AVStream* in);

}  // namespace velmora
