#include "engine/decoder.h"

namespace velmora {

int OpenDecoder(AVFormatContext* input, AVStream* stream, CodecContextPtr& decoder) {
    decoder.reset();
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return 0;

    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) return AVERROR(ENOMEM);
    int rc = avcodec_parameters_to_context(context.get(), stream->codecpar);
    if (rc < 0) return rc;
    if (context->codec_type == AVMEDIA_TYPE_VIDEO)
        context->framerate = av_guess_frame_rate(input, stream, nullptr);
    // The decoder never decodes, so worker threads would only cost time.
    context->thread_count = 1;
    if (context->codec_type == AVMEDIA_TYPE_VIDEO || context->codec_type == AVMEDIA_TYPE_AUDIO) {
        rc = avcodec_open2(context.get(), codec, nullptr);
        if (rc < 0) return rc;
    }
    decoder = std::move(context);
    return 0;
}

}  // namespace velmora
