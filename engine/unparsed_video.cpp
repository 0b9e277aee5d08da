#include "engine/unparsed_video.h"

#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

namespace velmora {

namespace {

// The demuxer cuts a PES longer than this into pieces; without the parser
// to join them, a piece would be taken for a frame. Large enough for the
// largest intra picture of 4K video, and only as much is allocated as a
// PES holds.
constexpr std::int64_t kLargestPes = 16 << 20;

// How far the first video packet may lie; a file that hides its video
// further keeps the parser.
constexpr std::int64_t kFirstVideoWithin = 64 << 20;

// The demuxer's own count halves once it passes this many.
constexpr int kOrderCountHalving = 250;

}  // namespace

UnparsedVideo::UnparsedVideo(const AVStream* stream, const AVPacket& first)
    : m_codec(stream->codecpar->codec_id),
      m_delay(stream->codecpar->video_delay),
      m_cuts(stream->codecpar->codec_id),
      m_firstPos(first.pos),
      m_firstPts(first.pts),
      m_firstDts(first.dts) {
    m_parser.reset(av_parser_init(m_codec));
    m_parserContext.reset(avcodec_alloc_context3(nullptr));
    if (!m_parser || !m_parserContext) {
        Refuse("no parser");
        return;
    }
    // Headers only: every packet that reaches it is one frame.
    m_parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    m_parserContext->codec_type = AVMEDIA_TYPE_VIDEO;
    m_parserContext->codec_id = m_codec;
}

std::unique_ptr<UnparsedVideo> UnparsedVideo::Start(AVFormatContext* input, int video) {
    if (std::strcmp(input->iformat->name, "mpegts") != 0) return nullptr;
    if (!input->pb || !(input->pb->seekable & AVIO_SEEKABLE_NORMAL)) return nullptr;
    if (video < 0 || video >= static_cast<int>(input->nb_streams)) return nullptr;
    const AVStream* stream = input->streams[video];
    if (!FrameCuts::Knows(stream->codecpar->codec_id)) return nullptr;
    PacketPtr packet(av_packet_alloc());
    if (!packet) return nullptr;

    // The first packet of the video as the parser's path gives it, mostly
    // from what the analysis read already.
    AVPacket first{};
    first.pos = -1;
    bool found = false;
    while (!found && avio_tell(input->pb) < kFirstVideoWithin) {
        if (av_read_frame(input, packet.get()) < 0) break;
        if (packet->stream_index == video) {
            found = true;
            first.pos = packet->pos;
            first.pts = packet->pts;
            first.dts = packet->dts;
        }
        av_packet_unref(packet.get());
    }
    auto unparsed = std::make_unique<UnparsedVideo>(stream, first);
    if (!found) unparsed->Refuse("no first video packet to line up with");

    if (av_seek_frame(input, -1, 0, AVSEEK_FLAG_BYTE) < 0) {
        unparsed->Refuse("the input cannot be read again from its start");
        return unparsed;
    }
    input->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    av_opt_set_int(input->priv_data, "max_packet_size", kLargestPes, 0);
    return unparsed;
}

bool UnparsedVideo::KeyFlag(AVPacket* packet) {
    // HEVC's parser unescapes every byte of every slice, and reads a few
    // bytes of the first: fed only the headers, it tells the picture type
    // the same, and the NAL type tells the key flag.
    const FrameCuts::HevcPicture* hevc = nullptr;
    if (m_codec == AV_CODEC_ID_HEVC && m_cuts.LastHevcPicture().decided)
        hevc = &m_cuts.LastHevcPicture();
    const int parsed = hevc ? static_cast<int>(hevc->headersEnd) : packet->size;
    std::uint8_t* frame = nullptr;
    int frameSize = 0;
    av_parser_parse2(m_parser.get(), m_parserContext.get(), &frame, &frameSize, packet->data,
                     parsed, packet->pts, packet->dts, packet->pos);
    const int key = hevc ? hevc->key : m_parser->key_frame;
    const int picture = m_parser->pict_type;
    // Here the parser's path would take the demuxer's flag of the packet
    // after this one.
    if (key == -1 && picture == AV_PICTURE_TYPE_NONE) return false;
    if (picture == AV_PICTURE_TYPE_B && m_delay == 0) m_delay = 1;
    const bool keyFrame = key == 1 || (key == -1 && picture == AV_PICTURE_TYPE_I);
    packet->flags = keyFrame ? AV_PKT_FLAG_KEY : 0;
    return true;
}

bool UnparsedVideo::TimesStay(const AVPacket* packet) {
    const std::int64_t pts = packet->pts;
    const std::int64_t dts = packet->dts;
    // The demuxer fills in missing times, and takes a decode time after its
    // presentation time for a wrap of the clock or for no time at all.
    if (pts == AV_NOPTS_VALUE || dts == AV_NOPTS_VALUE || pts < dts) return false;
    // It drops the decode time of frames whose times are equal once such
    // times ran backwards too often.
    if (pts == dts && m_lastOrderDts != AV_NOPTS_VALUE) {
        if (m_lastOrderDts <= dts)
            ++m_ordered;
        else
            ++m_misordered;
        if (m_ordered + m_misordered > kOrderCountHalving) {
            m_ordered >>= 1;
            m_misordered >>= 1;
        }
    }
    m_lastOrderDts = dts;
    if (pts == dts && m_ordered < 8 * m_misordered) return false;
    // With reordered frames, equal times on a frame that is not a B-frame
    // are taken for a missing decode time.
    if (pts == dts && m_delay > 0 && m_parser->pict_type != AV_PICTURE_TYPE_B) return false;
    return true;
}

UnparsedVideo::Verdict UnparsedVideo::Refuse(const char* why) {
    m_refused = true;
    m_why = why;
    return Verdict::kNeedsParser;
}

UnparsedVideo::Verdict UnparsedVideo::Admit(AVPacket* packet) {
    if (m_refused) return Verdict::kNeedsParser;
    if (!m_lined) {
        if (packet->pos >= 0 && packet->pos < m_firstPos) return Verdict::kSkip;
        if (packet->pos != m_firstPos || packet->pts != m_firstPts || packet->dts != m_firstDts)
            return Refuse("the first packet differs from the parser's");
        m_lined = true;
    }
    // A packet the demuxer calls damaged (a gap in its transport packets,
    // or the join of two recordings) goes on: the parser would cut and
    // flag the same bytes the same way, and the checks below still hold.
    if (!m_cuts.IsOneFrame(packet->data, static_cast<std::size_t>(packet->size)))
        return Refuse("a packet that is not one whole frame");
    if (!KeyFlag(packet)) return Refuse("a frame before the first picture header");
    if (!TimesStay(packet)) return Refuse("times the parser would change");
    ++m_admitted;
    return Verdict::kCopy;
}

}  // namespace velmora
