#include "engine/output_container.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "engine/engine_errors.h"
#include "engine/stream_rules.h"

namespace velmora {

namespace {

// avformat_query_codec answers 1 (it can), 0 (it cannot) or a negative
// value when the container keeps no list: then only writing tells, and the
// copy is tried.
bool CannotHold(const AVOutputFormat* format, AVCodecID codec) {
    return avformat_query_codec(format, codec, FF_COMPLIANCE_NORMAL) == 0;
}

}  // namespace

int CheckOutputContainer(const char* outputName, const AVFormatContext* input) {
    const AVOutputFormat* format = av_guess_format(nullptr, outputName, nullptr);
    if (!format) return AVERROR_MUXER_NOT_FOUND;
    if (format->flags & AVFMT_NOFILE) return kErrorNotSingleFile;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (IsVideo(stream) && CannotHold(format, stream->codecpar->codec_id))
            return kErrorCodecNotInContainer;
    }
    return 0;
}

}  // namespace velmora
