// FrameCuts against FFmpeg's own parsers. The video of transport streams
// the ffmpeg program made is taken as one byte stream and cut into packets
// in many ways: at its PES boundaries, at those boundaries moved by a few
// bytes, at every start code, two PES to a packet, and at random places.
// Whenever FrameCuts calls every packet one whole frame, FFmpeg's parser,
// run over the same packets, must give back exactly those packets as its
// frames (give or take zero bytes at the seams, which stay in the stream).
// On the PES of a well-made file it must say so, or the cheap path would
// never be taken.

#include "engine/frame_cuts.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/ff_ptr.h"
#include "engine/start_code.h"
#include "test_media.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kPicture =
    "-f lavfi -i testsrc2=duration=2:size=192x108:rate=25 -pix_fmt yuv420p ";
const std::string kHevc = "-c:v libx265 -x265-params log-level=error:pools=none:frame-threads=1";

struct StreamCase {
    const char* name;
    std::string args;
};

std::ostream& operator<<(std::ostream& os, const StreamCase& c) { return os << c.name; }

const StreamCase kStreams[] = {
    {"h264_b_frames", kPicture + "-c:v libx264 -bf 3"},
    // CAVLC: a 01 byte in every 50 or so, and a 00 in every 11.
    {"h264_cavlc", kPicture + "-c:v libx264 -coder 0 -bf 2"},
    {"h264_slices", kPicture + "-c:v libx264 -slices 3 -bf 0"},
    {"h264_interlaced", kPicture + "-c:v libx264 -flags +ildct+ilme"},
    {"hevc", kPicture + kHevc},
    {"hevc_slices", kPicture + kHevc + ":slices=3"},
    {"mpeg2", kPicture + "-c:v mpeg2video -bf 2"},
    {"mpeg2_interlaced", kPicture + "-c:v mpeg2video -flags +ildct+ilme -top 1"},
};

struct Video {
    AVCodecID codec = AV_CODEC_ID_NONE;
    std::vector<Bytes> pes;
};

// The PES payloads of the video, as the demuxer gives them without a parser.
Video ReadPes(const std::filesystem::path& file) {
    Video video;
    AVFormatContext* raw = avformat_alloc_context();
    raw->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0) return video;
    velmora::InputFormatPtr input(raw);
    velmora::PacketPtr packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const AVStream* stream = input->streams[packet->stream_index];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            video.codec = stream->codecpar->codec_id;
            video.pes.emplace_back(packet->data, packet->data + packet->size);
        }
        av_packet_unref(packet.get());
    }
    return video;
}

// The frames FFmpeg's parser makes of `packets`, fed one after the other.
std::vector<Bytes> ParserFrames(AVCodecID codec, const std::vector<Bytes>& packets) {
    std::vector<Bytes> frames;
    std::unique_ptr<AVCodecParserContext, decltype(&av_parser_close)> parser(av_parser_init(codec),
                                                                             &av_parser_close);
    velmora::CodecContextPtr context(avcodec_alloc_context3(nullptr));
    context->codec_id = codec;
    context->codec_type = AVMEDIA_TYPE_VIDEO;
    auto feed = [&](const std::uint8_t* data, int size) {
        do {
            std::uint8_t* out = nullptr;
            int outSize = 0;
            const int used = av_parser_parse2(parser.get(), context.get(), &out, &outSize, data,
                                              size, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (outSize > 0) frames.emplace_back(out, out + outSize);
            data += used;
            size -= used;
            if (size == 0 && !data) break;
        } while (size > 0);
    };
    for (const Bytes& packet : packets) feed(packet.data(), static_cast<int>(packet.size()));
    feed(nullptr, 0);
    return frames;
}

// Zero bytes at the start of a packet.
size_t LeadingZeros(const Bytes& bytes) {
    size_t zeros = 0;
    while (zeros < bytes.size() && bytes[zeros] == 0) ++zeros;
    return zeros;
}

// The packets without their access unit delimiters: the frames then start
// with parameter sets or with a slice, and the slices decide the cuts.
std::vector<Bytes> WithoutDelimiters(AVCodecID codec, const std::vector<Bytes>& packets) {
    auto isDelimiter = [codec](std::uint8_t header) {
        return codec == AV_CODEC_ID_H264 ? (header & 0x1F) == 9 : ((header >> 1) & 0x3F) == 35;
    };
    std::vector<Bytes> out;
    for (const Bytes& p : packets) {
        Bytes kept;
        size_t i = 0;
        while (i < p.size()) {
            const bool code =
                i + 3 < p.size() && p[i] == 0 && p[i + 1] == 0 &&
                (p[i + 2] == 1 || (p[i + 2] == 0 && i + 4 < p.size() && p[i + 3] == 1));
            if (code) {
                const size_t header = p[i + 2] == 1 ? i + 3 : i + 4;
                size_t next = header;
                while (next + 2 < p.size() && !(p[next] == 0 && p[next + 1] == 0 &&
                                                (p[next + 2] == 1 || p[next + 2] == 0)))
                    ++next;
                if (next + 2 >= p.size()) next = p.size();
                if (!isDelimiter(p[header]))
                    kept.insert(kept.end(), p.begin() + std::ptrdiff_t(i),
                                p.begin() + std::ptrdiff_t(next));
                i = next;
            } else {
                kept.push_back(p[i++]);
            }
        }
        if (!kept.empty()) out.push_back(kept);
    }
    return out;
}

bool AllOneFrame(AVCodecID codec, const std::vector<Bytes>& packets) {
    velmora::FrameCuts cuts(codec);
    bool all = true;
    for (const Bytes& packet : packets) all = cuts.IsOneFrame(packet.data(), packet.size()) && all;
    return all;
}

// `stream` cut at `offsets` (ascending, inside the stream).
std::vector<Bytes> CutAt(const Bytes& stream, std::vector<size_t> offsets) {
    std::vector<Bytes> packets;
    size_t from = 0;
    offsets.push_back(stream.size());
    for (size_t to : offsets) {
        if (to <= from || to > stream.size()) continue;
        packets.emplace_back(stream.begin() + std::ptrdiff_t(from),
                             stream.begin() + std::ptrdiff_t(to));
        from = to;
    }
    return packets;
}

class FrameCutsVersusParser : public testing::TestWithParam<StreamCase> {
protected:
    // Asserts the promise: every packet one frame means the parser makes
    // one frame of each packet, starting at the packet's start or within
    // its leading zero bytes, never in the packet before (a frame starting
    // there would be read back with the times of the packet before).
    void ExpectSound(AVCodecID codec, const std::vector<Bytes>& packets, const std::string& how) {
        SCOPED_TRACE(how);
        if (!AllOneFrame(codec, packets)) return;
        ++m_whole;
        const std::vector<Bytes> frames = ParserFrames(codec, packets);
        ASSERT_EQ(frames.size(), packets.size());
        size_t frameStart = 0, packetStart = 0;
        for (size_t i = 0; i < frames.size(); ++i) {
            ASSERT_GE(frameStart, packetStart) << "frame " << i;
            ASSERT_LE(frameStart, packetStart + LeadingZeros(packets[i])) << "frame " << i;
            frameStart += frames[i].size();
            packetStart += packets[i].size();
        }
        EXPECT_EQ(frameStart, packetStart);
    }
    int m_whole = 0;
};

TEST_P(FrameCutsVersusParser, OneFrameOnlyWhereTheParserAgrees) {
    const StreamCase& c = GetParam();
    const Video video =
        ReadPes(testmedia::Make(std::string("cuts_") + c.name + ".ts", c.args + " -an"));
    ASSERT_TRUE(velmora::FrameCuts::Knows(video.codec));
    ASSERT_GT(video.pes.size(), 10u);

    // As muxed: one frame per PES, and the parser agrees.
    EXPECT_TRUE(AllOneFrame(video.codec, video.pes));
    ExpectSound(video.codec, video.pes, "as muxed");
    if (video.codec != AV_CODEC_ID_MPEG2VIDEO) {
        const std::vector<Bytes> bare = WithoutDelimiters(video.codec, video.pes);
        EXPECT_TRUE(AllOneFrame(video.codec, bare));
        ExpectSound(video.codec, bare, "without delimiters");
        Bytes joined;
        for (const Bytes& b : bare) joined.insert(joined.end(), b.begin(), b.end());
        std::vector<size_t> starts;
        for (size_t i = 0; i + 2 < joined.size(); ++i)
            if (joined[i] == 0 && joined[i + 1] == 0 && joined[i + 2] == 1) starts.push_back(i);
        ExpectSound(video.codec, CutAt(joined, starts), "without delimiters, at every start code");
    }

    Bytes stream;
    std::vector<size_t> boundaries, startCodes;
    for (const Bytes& pes : video.pes) {
        if (!stream.empty()) boundaries.push_back(stream.size());
        stream.insert(stream.end(), pes.begin(), pes.end());
    }
    for (size_t i = 0; i + 2 < stream.size(); ++i)
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) startCodes.push_back(i);

    // Two PES to a packet: never one frame.
    std::vector<size_t> everySecond;
    for (size_t i = 1; i < boundaries.size(); i += 2) everySecond.push_back(boundaries[i]);
    EXPECT_FALSE(AllOneFrame(video.codec, CutAt(stream, everySecond)));

    // One PES cut in two: never one frame.
    std::vector<size_t> split = boundaries;
    split.push_back(boundaries[3] + (boundaries[4] - boundaries[3]) / 2);
    std::sort(split.begin(), split.end());
    EXPECT_FALSE(AllOneFrame(video.codec, CutAt(stream, split)));

    ExpectSound(video.codec, CutAt(stream, startCodes), "at every start code");
    ExpectSound(video.codec, CutAt(stream, everySecond), "two PES to a packet");
    ExpectSound(video.codec, CutAt(stream, split), "one PES cut in two");

    // Every boundary moved by the same few bytes: a zero byte left at the
    // end of a packet, or the start code's first bytes.
    for (int by : {-2, -1, 1, 2}) {
        std::vector<size_t> moved;
        for (size_t b : boundaries) moved.push_back(size_t(long(b) + by));
        ExpectSound(video.codec, CutAt(stream, moved), "boundaries moved by " + std::to_string(by));
    }

    std::mt19937 random(20261211);
    for (int round = 0; round < 40; ++round) {
        // The PES boundaries, each moved by up to three bytes either way.
        std::vector<size_t> moved;
        std::uniform_int_distribution<int> by(-3, 3);
        for (size_t b : boundaries)
            moved.push_back(size_t(std::max<long>(1, long(b) + by(random))));
        std::sort(moved.begin(), moved.end());
        ExpectSound(video.codec, CutAt(stream, moved),
                    "boundaries moved, round " + std::to_string(round));

        // Cuts anywhere.
        std::vector<size_t> anywhere;
        std::uniform_int_distribution<size_t> at(1, stream.size() - 1);
        for (size_t i = 0; i < boundaries.size(); ++i) anywhere.push_back(at(random));
        std::sort(anywhere.begin(), anywhere.end());
        ExpectSound(video.codec, CutAt(stream, anywhere),
                    "random cuts, round " + std::to_string(round));
    }
    // At least the muxed PES were whole, so the promise was really checked.
    EXPECT_GE(m_whole, 1);
}

INSTANTIATE_TEST_SUITE_P(Streams, FrameCutsVersusParser, testing::ValuesIn(kStreams),
                         [](const auto& info) { return std::string(info.param.name); });

// The start code search against a byte-by-byte one, on bytes made of 00,
// 01 and 03 mostly, as in CAVLC-coded video and at emulation prevention,
// with start codes at every place within the 16 bytes compared at once,
// searched from every place and ending at every place near them.
TEST(StartCodeSearch, FindsTheFirstPrefixWhereverItLies) {
    auto bytewise = [](const Bytes& d, size_t from, size_t size) {
        for (size_t i = from; i + 2 < size; ++i)
            if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) return i;
        return size;
    };
    std::mt19937 random(7);
    const std::uint8_t kCommon[] = {0x00, 0x01, 0x03, 0x01, 0xFF, 0x00, 0x01, 0x80};
    std::uniform_int_distribution<int> pick(0, 2 * int(std::size(kCommon)) - 1);
    Bytes d(1024);
    for (std::uint8_t& b : d) {
        const int k = pick(random);
        b = k < int(std::size(kCommon)) ? kCommon[k] : std::uint8_t(random());
    }
    // One prefix at each offset 0 to 47 from a place a multiple of 64 bytes
    // into the buffer, with its own surroundings, and a last one that ends
    // the buffer.
    for (size_t at = 64, shift = 0; at + 70 < d.size(); at += 64, ++shift) {
        const size_t p = at + shift % 48;
        d[p] = 0;
        d[p + 1] = 0;
        d[p + 2] = 1;
    }
    d[d.size() - 3] = 0;
    d[d.size() - 2] = 0;
    d[d.size() - 1] = 1;

    size_t found = 0;
    for (size_t size : {d.size(), d.size() - 1, d.size() - 2, size_t(100), size_t(17), size_t(3)})
        for (size_t from = 0; from <= size; ++from) {
            const size_t expected = bytewise(d, from, size);
            ASSERT_EQ(velmora::NextStartCode(d.data(), from, size), expected)
                << "from " << from << " in " << size << " bytes";
            found += expected < size;
        }
    EXPECT_GT(found, d.size());  // the search did find prefixes
}

// The key flag of HEVC pictures from NAL types against FFmpeg's parser, and
// the parser fed only the headers against the parser fed the whole packet.
// Each row makes one kind of IRAP picture every 10 frames between pictures
// of other types; BLA pictures are CRA pictures with their NAL type
// rewritten, as a splice would leave them.
struct HevcKeyCase {
    const char* name;
    std::string x265;  // the encoder's parameters after the common ones
    int irapType;      // the NAL type of the IRAP pictures the encoder makes
    int rewriteTo;     // the type they get before the check, 0 for none
};

std::ostream& operator<<(std::ostream& os, const HevcKeyCase& c) { return os << c.name; }

const std::string kClosedGop = ":keyint=10:min-keyint=10:scenecut=0:open-gop=0";
const std::string kOpenGop = ":keyint=10:min-keyint=10:scenecut=0:open-gop=1:bframes=3";

const HevcKeyCase kHevcKeyCases[] = {
    {"idr_w_radl", kClosedGop + ":bframes=3:radl=2", 19, 0},
    {"idr_n_lp", kClosedGop + ":bframes=0", 20, 0},
    {"cra", kOpenGop, 21, 0},
    {"bla_w_lp", kOpenGop, 21, 16},
    {"bla_w_radl", kOpenGop, 21, 17},
    {"bla_n_lp", kOpenGop, 21, 18},
};

// The NAL types of the slices in `packet`.
std::vector<int> SliceTypes(const Bytes& packet) {
    std::vector<int> types;
    for (size_t p = velmora::NextStartCode(packet.data(), 0, packet.size()); p + 3 < packet.size();
         p = velmora::NextStartCode(packet.data(), p + 3, packet.size())) {
        const int type = (packet[p + 3] >> 1) & 0x3F;
        if (type < 32) types.push_back(type);
    }
    return types;
}

class HevcKeyFlag : public testing::TestWithParam<HevcKeyCase> {};

TEST_P(HevcKeyFlag, NalTypeAndHeadersTellWhatTheParserTells) {
    const HevcKeyCase& c = GetParam();
    Video video = ReadPes(
        testmedia::Make(std::string("keys_") + c.name + ".ts",
                        kPicture + kHevc + ":pools=none:frame-threads=1" + c.x265 + " -an"));
    ASSERT_EQ(video.codec, AV_CODEC_ID_HEVC);
    const int irapType = c.rewriteTo ? c.rewriteTo : c.irapType;
    if (c.rewriteTo) {
        for (Bytes& packet : video.pes)
            for (size_t p = velmora::NextStartCode(packet.data(), 0, packet.size());
                 p + 3 < packet.size();
                 p = velmora::NextStartCode(packet.data(), p + 3, packet.size()))
                if (((packet[p + 3] >> 1) & 0x3F) == c.irapType)
                    packet[p + 3] = std::uint8_t((packet[p + 3] & 0x81) | (c.rewriteTo << 1));
    }

    using Parser = std::unique_ptr<AVCodecParserContext, decltype(&av_parser_close)>;
    Parser whole(av_parser_init(AV_CODEC_ID_HEVC), &av_parser_close);
    Parser headers(av_parser_init(AV_CODEC_ID_HEVC), &av_parser_close);
    velmora::CodecContextPtr wholeContext(avcodec_alloc_context3(nullptr));
    velmora::CodecContextPtr headersContext(avcodec_alloc_context3(nullptr));
    for (AVCodecContext* context : {wholeContext.get(), headersContext.get()}) {
        context->codec_id = AV_CODEC_ID_HEVC;
        context->codec_type = AVMEDIA_TYPE_VIDEO;
    }
    whole->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    headers->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    auto parse = [](AVCodecParserContext* parser, AVCodecContext* context, const Bytes& packet,
                    size_t size) {
        std::uint8_t* out = nullptr;
        int outSize = 0;
        av_parser_parse2(parser, context, &out, &outSize, packet.data(), int(size), AV_NOPTS_VALUE,
                         AV_NOPTS_VALUE, 0);
    };

    velmora::FrameCuts cuts(AV_CODEC_ID_HEVC);
    std::map<int, int> keysByType, othersByType;  // by the NAL type of the first slice
    for (size_t i = 0; i < video.pes.size(); ++i) {
        SCOPED_TRACE("packet " + std::to_string(i));
        const Bytes& packet = video.pes[i];
        ASSERT_TRUE(cuts.IsOneFrame(packet.data(), packet.size()));
        const velmora::FrameCuts::HevcPicture& picture = cuts.LastHevcPicture();
        ASSERT_TRUE(picture.decided);
        ASSERT_LE(picture.headersEnd, packet.size());
        parse(whole.get(), wholeContext.get(), packet, packet.size());
        parse(headers.get(), headersContext.get(), packet, picture.headersEnd);
        EXPECT_EQ(picture.key, whole->key_frame == 1);
        EXPECT_EQ(headers->key_frame, whole->key_frame);
        EXPECT_EQ(headers->pict_type, whole->pict_type);
        const std::vector<int> types = SliceTypes(packet);
        ASSERT_FALSE(types.empty());
        ++(picture.key ? keysByType : othersByType)[types.front()];
    }
    // The row's IRAP pictures were key frames (the first picture is always
    // an IDR picture), and pictures of other types were not.
    EXPECT_GE(keysByType[irapType], 4);
    auto isIrap = [](int type) { return type >= 16 && type <= 23; };
    for (const auto& [type, count] : keysByType) EXPECT_TRUE(isIrap(type)) << type;
    for (const auto& [type, count] : othersByType) EXPECT_FALSE(isIrap(type)) << type;
    EXPECT_FALSE(othersByType.empty());
}

INSTANTIATE_TEST_SUITE_P(IrapTypes, HevcKeyFlag, testing::ValuesIn(kHevcKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
