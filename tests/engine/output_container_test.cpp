// The container of a copy is the input's own, told from what the file holds:
// files with the names camcorders and recorders give them, names that
// stand for another container, and codecs a container holds though
// FFmpeg's table of codecs leaves them out. The probe accepts each file the
// job then writes, and every copy keeps the input's video packets.

#include <gtest/gtest.h>

#include <optional>

#include "engine/input_result.h"
#include "engine_test_support.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace enginetest {
namespace {

using testmedia::Make;
using testmedia::Quote;

const std::string kAv = kPicture + " " + kSound + " -pix_fmt yuv420p ";
const std::string kMpeg2 = kAv + "-c:v mpeg2video -c:a mp2 ";
const std::string kH264 = kAv + "-c:v libx264 -c:a ac3 ";
const std::string kM2ts = "-f mpegts -mpegts_m2ts_mode 1";

// What the first bytes of the output must show.
enum class Layout {
    kAny,
    kTs188,    // MPEG-TS, 188-byte packets
    kTs192,    // MPEG-TS, 192-byte packets (M2TS): a 4-byte time stamp first
    kMpeg1Ps,  // MPEG-1 system stream: pack header 0010…
    kMpeg2Ps,  // MPEG-2 program stream: pack header 01…
    kWebM,     // Matroska whose EBML header names the DocType "webm"
};

struct ContainerCase {
    const char* file;        // the input's name, and the output's
    std::string args;        // ffmpeg options that make the input
    const char* formatName;  // ffprobe's format_name of the output
    const char* muxer;       // the container the engine reports
    Layout layout = Layout::kAny;
    bool nameMismatch = false;
    const char* brand = "";  // the output's major brand (MP4/MOV); "": not checked
    // A muxer whose table of codecs leaves out the input's video: the input's
    // own container holds it all the same.
    const char* tableLacks = "";
};

std::ostream& operator<<(std::ostream& os, const ContainerCase& c) { return os << c.file; }

std::string MajorBrand(const fs::path& file) {
    std::string brand = testmedia::Run(
        "ffprobe -v error -show_entries format_tags=major_brand -of default=nw=1:nk=1 " +
        Quote(file.string()));
    while (!brand.empty() && brand.back() == '\n') brand.pop_back();
    return brand;
}

void ExpectLayout(const fs::path& file, Layout layout) {
    const std::string bytes = testmedia::ReadAll(file);
    ASSERT_GT(bytes.size(), 400u);
    const auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    switch (layout) {
        case Layout::kAny:
            break;
        case Layout::kTs188:
            EXPECT_EQ(at(0), 0x47);
            EXPECT_EQ(at(188), 0x47);
            EXPECT_EQ(bytes.size() % 188, 0u);
            break;
        case Layout::kTs192:
            EXPECT_EQ(at(4), 0x47);
            EXPECT_EQ(at(196), 0x47);
            EXPECT_EQ(bytes.size() % 192, 0u);
            break;
        case Layout::kMpeg1Ps:
        case Layout::kMpeg2Ps:
            ASSERT_EQ(bytes.compare(0, 4, std::string("\0\0\1\xBA", 4)), 0);
            if (layout == Layout::kMpeg2Ps) {
                EXPECT_EQ(at(4) & 0xC0, 0x40);
            } else {
                EXPECT_EQ(at(4) & 0xF0, 0x20);
            }
            break;
        case Layout::kWebM:
            EXPECT_NE(bytes.substr(0, 64).find("\x42\x82\x84webm"), std::string::npos);
            break;
    }
}

bool IsProgramStream(Layout layout) {
    return layout == Layout::kMpeg1Ps || layout == Layout::kMpeg2Ps;
}

// A program stream keeps one time stamp per PES packet: of the frames that
// share one, all but the first lose their pts, which the parser gives back
// (the ffmpeg program's copy loses the same ones). The payloads stay the
// input's, and every dts moves by one constant.
void ExpectSameFrames(const Media& in, const Media& out) {
    const auto inPackets = in.PacketsOf(in.Video());
    const auto outPackets = out.PacketsOf(out.Video());
    ASSERT_FALSE(inPackets.empty());
    ASSERT_EQ(inPackets.size(), outPackets.size());
    std::optional<std::int64_t> shift;
    for (size_t i = 0; i < inPackets.size(); ++i) {
        EXPECT_EQ(inPackets[i].hash, outPackets[i].hash) << "packet " << i;
        ASSERT_TRUE(inPackets[i].dts && outPackets[i].dts) << "packet " << i;
        const std::int64_t d = *outPackets[i].dts - *inPackets[i].dts;
        if (!shift) shift = d;
        EXPECT_EQ(d, *shift) << "dts of packet " << i;
    }
}

class OutputContainer : public testing::TestWithParam<ContainerCase> {};

TEST_P(OutputContainer, IsTheInputsOwn) {
    const ContainerCase& c = GetParam();
    const fs::path in = Make(c.file, c.args);
    const Media source(in);
    ASSERT_GE(source.Video(), 0);
    if (*c.tableLacks) {
        // Without this the row would prove nothing.
        const AVCodecDescriptor* codec =
            avcodec_descriptor_get_by_name(source.streams[source.Video()].codecName.c_str());
        ASSERT_NE(codec, nullptr);
        EXPECT_EQ(avformat_query_codec(av_guess_format(c.tableLacks, nullptr, nullptr), codec->id,
                                       FF_COMPLIANCE_NORMAL),
                  0);
    }

    // As velmora-cli does it: the job copies from the input its probe
    // opened, so the probe's look at the file must leave it as it was.
    CAVConverter engine;
    engine.m_bKeepProbedInput = true;
    engine.m_pszProbeFile = in.string();
    ASSERT_EQ(engine.Probe(), kProbeOk);
    EXPECT_EQ(engine.m_probedContainer.muxer, c.muxer);
    EXPECT_EQ(engine.m_probedContainer.nameMismatch, c.nameMismatch);

    testmedia::TempDir dir;
    const fs::path out = dir / c.file;
    StartJob(engine, {{in, out}});
    engine.Join();
    ASSERT_EQ(OutcomeOf(engine, 1).statuses, std::vector<int>{kStatusSucceeded})
        << "error " << ReadInputResult(engine, 0).error;
    const velmora::ContainerRecord record = ReadInputResult(engine, 0).container;
    EXPECT_EQ(record.muxer, c.muxer);
    EXPECT_EQ(record.nameMismatch, c.nameMismatch);
    EXPECT_EQ(record.m2ts, c.layout == Layout::kTs192);

    EXPECT_EQ(testmedia::FormatName(out), c.formatName);
    ExpectLayout(out, c.layout);
    if (*c.brand) {
        EXPECT_EQ(MajorBrand(out), c.brand);
    }
    if (IsProgramStream(c.layout))
        ExpectSameFrames(source, Media(out));
    else
        ExpectSameVideo(source, Media(out));
}

INSTANTIATE_TEST_SUITE_P(
    Files, OutputContainer,
    testing::Values(
        // Camcorders and recorders: names no muxer lists.
        ContainerCase{"oc_cam.mod", kMpeg2 + "-f vob", "mpeg", "vob", Layout::kMpeg2Ps},
        ContainerCase{"oc_cam.tod", kMpeg2 + "-f mpegts", "mpegts", "mpegts", Layout::kTs188},
        ContainerCase{"oc_cam.tp", kH264 + "-f mpegts", "mpegts", "mpegts", Layout::kTs188},
        ContainerCase{"oc_cam.trp", kH264 + kM2ts, "mpegts", "mpegts", Layout::kTs192},
        ContainerCase{"oc_clip.divx", kAv + "-c:v mpeg4 -vtag DX50 -c:a libmp3lame -f avi", "avi",
                      "avi"},
        ContainerCase{"oc_clip.qt", kAv + "-c:v libx264 -c:a aac -f mov", "mov,mp4,m4a,3gp,3g2,mj2",
                      "mov", Layout::kAny, false, "qt  "},
        // AVCHD keeps 192-byte packets whatever the extension's case; a
        // .m2ts of 188-byte packets stays one too.
        ContainerCase{"oc_AVCHD.MTS", kH264 + kM2ts, "mpegts", "mpegts", Layout::kTs192},
        ContainerCase{"oc_disc.m2ts", kH264 + kM2ts, "mpegts", "mpegts", Layout::kTs192},
        ContainerCase{"oc_plain.m2ts", kH264 + "-f mpegts -mpegts_m2ts_mode 0", "mpegts", "mpegts",
                      Layout::kTs188},
        // A program stream stays the version it is: a DVD-style MPEG-2 one
        // named .mpg is not written as an MPEG-1 system stream.
        ContainerCase{"oc_dvd.mpg", kMpeg2 + "-f vob", "mpeg", "vob", Layout::kMpeg2Ps},
        ContainerCase{"oc_vcd.mpg", kMpeg2 + "-f mpeg", "mpeg", "mpeg", Layout::kMpeg1Ps},
        // The family member the name stands for.
        ContainerCase{"oc_phone.3gp", kPicture + " -s 176x144 -c:v h263", "mov,mp4,m4a,3gp,3g2,mj2",
                      "3gp", Layout::kAny, false, "3gp4"},
        // Names that stand for another container.
        ContainerCase{"oc_ps.m2v", kMpeg2 + "-f vob", "mpeg", "vob", Layout::kMpeg2Ps, true},
        ContainerCase{"oc_mp4.avi", kAv + "-c:v libx264 -c:a aac -f mp4", "mov,mp4,m4a,3gp,3g2,mj2",
                      "mp4", Layout::kAny, true, "isom"},
        ContainerCase{"oc_webm_named.avi", kAv + "-c:v libvpx -c:a libopus -f webm",
                      "matroska,webm", "webm", Layout::kWebM, true},
        // Codecs FFmpeg's tables leave out of containers that hold them.
        ContainerCase{"oc_ffv1.mov", kAv + "-c:v ffv1 -c:a pcm_s16le", "mov,mp4,m4a,3gp,3g2,mj2",
                      "mov", Layout::kAny, false, "qt  ", "mov"},
        ContainerCase{"oc_huffyuv.mkv", kAv + "-c:v huffyuv -c:a pcm_s16le", "matroska,webm",
                      "matroska", Layout::kAny, false, "", "matroska"},
        ContainerCase{"oc_cinepak.mkv", kAv + "-c:v cinepak -c:a pcm_s16le", "matroska,webm",
                      "matroska", Layout::kAny, false, "", "matroska"}),
    [](const auto& info) { return testmedia::TestNameOf(info.param.file); });

}  // namespace
}  // namespace enginetest
