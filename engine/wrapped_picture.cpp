#include "engine/wrapped_picture.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include "engine/ff_ptr.h"

namespace velmora {

namespace {

// A wrapped packet's buffer is the frame itself; when the last reference
// goes, so does the frame and, with it, its hold on the picture's bytes.
void FreeWrappedFrame(void*, std::uint8_t* data) {
    AVFrame* frame = reinterpret_cast<AVFrame*>(data);
    av_frame_free(&frame);
}

}  // namespace

bool TakesWrappedPictures(const AVOutputFormat* format, const AVCodecParameters* in) {
    return in->codec_id == AV_CODEC_ID_RAWVIDEO &&
           format->video_codec == AV_CODEC_ID_WRAPPED_AVFRAME;
}

void DeclareWrappedPictures(AVFormatContext* output, AVStream* out, const AVStream* in) {
    out->codecpar->codec_id = AV_CODEC_ID_WRAPPED_AVFRAME;
    out->codecpar->codec_tag = 0;
    // The YUV4MPEG muxer writes the aspect ratio of its header from the
    // stream, not from the codec parameters.
    out->sample_aspect_ratio = in->sample_aspect_ratio;
    // It writes the deeper pixel formats (9 to 16 bits) only when allowed
    // unofficial ones; the input is a file of that format already.
    output->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
}

int WrapRawPicture(AVPacket* packet, const AVCodecParameters* picture) {
    int rc = av_packet_make_refcounted(packet);
    if (rc < 0) return rc;
    FramePtr frame(av_frame_alloc());
    PacketPtr wrapped(av_packet_alloc());
    if (!frame || !wrapped) return AVERROR(ENOMEM);
    frame->format = picture->format;
    frame->width = picture->width;
    frame->height = picture->height;
    // The planes lie one after the other without padding, as the demuxer
    // read them.
    rc = av_image_fill_arrays(frame->data, frame->linesize, packet->data,
                              static_cast<AVPixelFormat>(picture->format), picture->width,
                              picture->height, 1);
    if (rc < 0) return rc;
    if (rc > packet->size) return AVERROR_INVALIDDATA;
    if (!(frame->buf[0] = av_buffer_ref(packet->buf))) return AVERROR(ENOMEM);

    AVBufferRef* holder =
        av_buffer_create(reinterpret_cast<std::uint8_t*>(frame.get()), sizeof(AVFrame),
                         &FreeWrappedFrame, nullptr, AV_BUFFER_FLAG_READONLY);
    if (!holder) return AVERROR(ENOMEM);
    frame.release();  // the holder owns it now
    wrapped->buf = holder;
    wrapped->data = holder->data;
    wrapped->size = static_cast<int>(holder->size);
    if ((rc = av_packet_copy_props(wrapped.get(), packet)) < 0) return rc;
    av_packet_unref(packet);
    av_packet_move_ref(packet, wrapped.get());
    return 0;
}

}  // namespace velmora
