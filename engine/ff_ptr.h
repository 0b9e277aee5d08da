#pragma once

// Owning pointers for the FFmpeg objects the engine creates. Each deleter
// knows how its object is released, so clean-up order lives in destructors
// and no failure path can forget a context.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace velmora {

// An input opened with avformat_open_input.
struct InputFormatDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

// An output made by avformat_alloc_output_context2. The file behind it is
// closed here only when nobody closed it before and it was opened by FFmpeg;
// an I/O context of the caller's own (AVFMT_FLAG_CUSTOM_IO) is left to its
// owner.
struct OutputFormatDeleter {
    void operator()(AVFormatContext* context) const {
        if (context->pb && !(context->oformat->flags & AVFMT_NOFILE) &&
            !(context->flags & AVFMT_FLAG_CUSTOM_IO))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};

struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

}  // namespace velmora
