#include "engine/output_container.h"

#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avstring.h>
#include <libavutil/opt.h>
}

#include "engine/container_kind.h"
#include "engine/engine_errors.h"
#include "engine/output_name.h"
#include "engine/raw_dv_output.h"
#include "engine/stream_rules.h"

namespace velmora {

namespace {

// Muxers that do not write the video packets they are given as they are,
// so no copy through them is the input's video. FFmpeg's RealMedia writer
// wraps every RealVideo packet anew: the copy of a real .rm file is written
// without an error, and not one of its frames decodes.
constexpr const char* kWritersThatChangeVideo = "rm";

bool Lists(const std::string& list, const char* name) {
    return !list.empty() && av_match_name(name, list.c_str());
}

// The first muxer, in the order av_guess_format() goes by, that lists
// `extension` and is one of `muxers`.
const AVOutputFormat* MuxerFor(const std::string& extension, const std::string& muxers) {
    void* at = nullptr;
    while (const AVOutputFormat* muxer = av_muxer_iterate(&at))
        if (muxer->extensions && av_match_name(extension.c_str(), muxer->extensions) &&
            Lists(muxers, muxer->name))
            return muxer;
    return nullptr;
}

// avformat_query_codec answers 1 (it can), 0 (it cannot) or a negative
// value when the container keeps no list: then only writing tells, and the
// copy is tried.
bool CannotHold(const AVOutputFormat* format, AVCodecID codec) {
    return avformat_query_codec(format, codec, FF_COMPLIANCE_NORMAL) == 0;
}

}  // namespace

int ChooseOutputContainer(const char* name, const AVFormatContext* input, OutputContainer& chosen) {
    chosen = {};
    // The job planning gives no output to a name without an extension; the
    // probe refuses it the same.
    const std::string extension = ExtensionOfFileName(name);
    if (extension.empty()) return AVERROR_MUXER_NOT_FOUND;

    const ContainerKind kind = KindOfInput(input);
    chosen.muxer = MuxerFor(extension, kind.muxers);
    if (!chosen.muxer) {
        const bool sameKind =
            MuxerFor(extension, kind.related) || Lists(kind.otherNames, extension.c_str());
        if (!sameKind) {
            const AVOutputFormat* named = av_guess_format(nullptr, name, nullptr);
            // A file named like a playlist or a picture is not copied into
            // a video file under that name.
            if (named && (named->flags & AVFMT_NOFILE)) {
                chosen.muxer = named;
                return kErrorNotSingleFile;
            }
            chosen.nameMismatch = named || IsOtherNameOfAnyKind(extension);
        }
        chosen.muxer = kind.own;
    }
    if (!chosen.muxer) return AVERROR_MUXER_NOT_FOUND;
    if (chosen.muxer->flags & AVFMT_NOFILE) return kErrorNotSingleFile;
    if (Lists(kWritersThatChangeVideo, chosen.muxer->name)) return kErrorWriterChangesVideo;
    chosen.m2ts = kind.m2ts && std::strcmp(chosen.muxer->name, "mpegts") == 0;

    // The input's own container holds its video already, whatever FFmpeg's
    // table of codecs says (FFV1 in MOV, Indeo in Matroska); another member
    // of the family is asked.
    if (kind.own && std::strcmp(chosen.muxer->name, kind.own->name) == 0) return 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (IsVideo(stream) && CannotHold(chosen.muxer, stream->codecpar->codec_id))
            return kErrorCodecNotInContainer;
    }
    return 0;
}

int NewOutputContext(const OutputContainer& chosen, const char* name, OutputFormatPtr& output) {
    AVFormatContext* raw = nullptr;
    const int rc =
        avformat_alloc_output_context2(&raw, VerbatimMuxerFor(chosen.muxer), nullptr, name);
    if (!raw) return rc < 0 ? rc : AVERROR_MUXER_NOT_FOUND;
    output.reset(raw);
    // Left to itself, the MPEG-TS muxer takes 192-byte packets for the
    // extension .m2ts alone; the input's packets decide instead.
    if (std::strcmp(chosen.muxer->name, "mpegts") == 0)
        return av_opt_set_int(raw->priv_data, "mpegts_m2ts_mode", chosen.m2ts ? 1 : 0, 0);
    return 0;
}

ContainerRecord RecordOf(const OutputContainer& chosen) {
    return {chosen.muxer ? chosen.muxer->name : "", chosen.m2ts, chosen.nameMismatch};
}

}  // namespace velmora
