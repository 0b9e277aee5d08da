#include "engine/output_stream.h"

#include <cstring>

#include "engine/ffmpeg_compat.h"
#include "engine/stream_rules.h"
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

}  // namespace

int AddOutputStream(AVFormatContext* output, const AVStream* in) {
    AVStream* out = avformat_new_stream(output, nullptr);
    if (!out) return AVERROR(ENOMEM);
    const bool video = IsVideo(in);
    int rc = 0;
    // The tags carry a 'rotate' entry where the demuxer still exports one.
    if (video && (rc = av_dict_copy(&out->metadata, in->metadata, 0)) < 0) return rc;
    if ((rc = avcodec_parameters_copy(out->codecpar, in->codecpar)) < 0) return rc;
    out->codecpar->codec_tag = KeptCodecTag(output->oformat, in->codecpar);
    out->time_base = in->time_base;
    if (TakesWrappedPictures(output->oformat, in->codecpar))
        DeclareWrappedPictures(output, out, in);
    if (video && (rc = CopySideData(in, out)) < 0) return rc;
    return out->index;
}

}  // namespace velmora
