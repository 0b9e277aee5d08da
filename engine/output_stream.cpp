#include "engine/output_stream.h"

#include <cstring>

#include "engine/ffmpeg_compat.h"
#include "engine/wrapped_picture.h"

namespace velmora {

namespace {

// The input's codec tag when the output container knows that tag for the
// same codec (or has no tag table at all), else 0 so the muxer picks its
// own. This is what the ffmpeg program does for a stream copy; zeroing the
// tag always would turn HEVC 'hvc1' into 'hev1', which Apple players refuse.
unsigned int KeptCodecTag(const AVOutputFormat* format, const AVCodecParameters* in) {
    unsigned int unused = 0;
    if (!format->codec_tag || av_codec_get_id(format->codec_tag, in->codec_tag) == in->codec_id ||
        !av_codec_get_tag2(format->codec_tag, in->codec_id, &unused))
        return in->codec_tag;
    return 0;
}

// Stream side data carries the display matrix (rotation) and HDR metadata.
int CopySideData(const AVStream* in, AVStream* out) {
#if VELMORA_HAS_CODED_SIDE_DATA
    // avcodec_parameters_copy has already copied it with the parameters.
    (void)in;
    (void)out;
#else
    for (int i = 0; i < in->nb_side_data; ++i) {
        const AVPacketSideData& sd = in->side_data[i];
        uint8_t* data = av_stream_new_side_data(out, sd.type, sd.size);
        if (!data) return AVERROR(ENOMEM);
        std::memcpy(data, sd.data, sd.size);
    }
#endif
    return 0;
}

// The picture's shape: the container's own aspect where it sets one (a
// Matroska track's display size, an MP4/MOV 'pasp' box), else the codec's,
// on the stream and in the parameters alike, as the ffmpeg program's stream
// copy does. Left out, a 4:3 Matroska track would come out as its codec
// says (16:9, say) and an anamorphic MOV square.
void KeepPictureShape(const AVStream* in, AVStream* out) {
    const AVRational sar =
        in->sample_aspect_ratio.num ? in->sample_aspect_ratio : in->codecpar->sample_aspect_ratio;
    out->sample_aspect_ratio = sar;
    out->codecpar->sample_aspect_ratio = sar;
}

}  // namespace

int AddOutputStream(AVFormatContext* output, const AVStream* in) {
    AVStream* out = avformat_new_stream(output, nullptr);
    if (!out) return AVERROR(ENOMEM);
    int rc = 0;
    // Language, title, a 'timecode' and, where the demuxer still exports
    // one, a 'rotate' entry.
    if ((rc = av_dict_copy(&out->metadata, in->metadata, 0)) < 0) return rc;
    if ((rc = avcodec_parameters_copy(out->codecpar, in->codecpar)) < 0) return rc;
    out->codecpar->codec_tag = KeptCodecTag(output->oformat, in->codecpar);
    out->time_base = in->time_base;
    // The frame rate gives Matroska its default duration and MOV/MP4 the
    // rate of the timecode track the muxer makes from a 'timecode' tag.
    out->avg_frame_rate = in->avg_frame_rate;
    out->r_frame_rate = in->r_frame_rate;
    // Default and forced flags, "visual impaired", and the like; a cover
    // picture never gets this far.
    out->disposition = in->disposition;
    KeepPictureShape(in, out);
    if (TakesWrappedPictures(output->oformat, in->codecpar))
        DeclareWrappedPictures(output, out, in);
    if ((rc = CopySideData(in, out)) < 0) return rc;
    return out->index;
}

}  // namespace velmora
