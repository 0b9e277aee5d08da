// The probe: what it reports for files it accepts, and which files it
// refuses.

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "engine/engine_errors.h"
#include "engine_test_support.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avutil.h>
}

namespace enginetest {
namespace {

using testmedia::Make;
using testmedia::Quote;

int Probe(CAVConverter& engine, const fs::path& file) {
    engine.m_pszProbeFile = file.string();
    return engine.Probe();
}

// The fields the window reads one by one hold the facts of the record the
// probe returned, and the engine keeps that record.
void ExpectFieldsHold(const CAVConverter& engine, const velmora::ProbeFacts& facts) {
    EXPECT_EQ(engine.m_lastProbe.error, facts.error);
    EXPECT_EQ(engine.m_lastProbe.unreadable, facts.unreadable);
    EXPECT_EQ(engine.m_lastProbe.duration, facts.duration);
    EXPECT_EQ(engine.m_lastProbe.width, facts.width);
    EXPECT_EQ(engine.m_lastProbe.height, facts.height);
    EXPECT_EQ(engine.m_lastProbe.fpsNum, facts.fpsNum);
    EXPECT_EQ(engine.m_lastProbe.fpsDen, facts.fpsDen);
    EXPECT_EQ(engine.m_lastProbe.videoBitRate, facts.videoBitRate);
    EXPECT_EQ(engine.m_lastProbe.videoCodec, facts.videoCodec);
    EXPECT_EQ(engine.m_lastProbe.videoProfile, facts.videoProfile);
    EXPECT_EQ(engine.m_lastProbe.container.muxer, facts.container.muxer);

    EXPECT_EQ(engine.m_llDuration, facts.duration);
    EXPECT_EQ(engine.m_nInWidth, facts.width);
    EXPECT_EQ(engine.m_nInHeight, facts.height);
    EXPECT_EQ(engine.m_nFpsNum, facts.fpsNum);
    EXPECT_EQ(engine.m_nFpsDen, facts.fpsDen);
    EXPECT_EQ(engine.m_llVideoBitRate, facts.videoBitRate);
    // The int field keeps the low 32 bits, as it always did.
    EXPECT_EQ(engine.m_nVideoBitRate,
              static_cast<int>(static_cast<std::uint32_t>(facts.videoBitRate)));
    EXPECT_EQ(engine.m_nVideoCodec, facts.videoCodec);
    EXPECT_EQ(engine.m_nVideoProfile, facts.videoProfile);
    EXPECT_EQ(engine.m_probedContainer.muxer, facts.container.muxer);
    EXPECT_EQ(engine.m_probedContainer.m2ts, facts.container.m2ts);
    EXPECT_EQ(engine.m_probedContainer.nameMismatch, facts.container.nameMismatch);
}

// The video's codec as ffprobe names it, as an AVCodecID.
int FfprobeCodec(const fs::path& file) {
    std::string name = testmedia::Run(
        "ffprobe -v error -select_streams V -show_entries stream=codec_name -of csv=p=0 " +
        Quote(file.string()));
    name = name.substr(0, name.find('\n'));
    const AVCodecDescriptor* codec = avcodec_descriptor_get_by_name(name.c_str());
    return codec ? codec->id : AV_CODEC_ID_NONE;
}

fs::path Cover() { return Make("cover.jpg", "-f lavfi -i testsrc=size=64x48 -frames:v 1"); }

fs::path RawH264() { return Make("raw.h264", kPicture + " -pix_fmt yuv420p -c:v libx264"); }

// AVS2 video, for which FFmpeg here has no decoder: the raw H.264 bytes
// read as an AVS2 elementary stream and put into a transport stream.
fs::path VideoWithoutDecoder() {
    return Make("avs2.ts", "-f avs2 -framerate 25 -i " + Quote(RawH264()) + " -c copy");
}

// A file written by the test itself into `dir`.
using Writer = std::function<fs::path(const fs::path& dir)>;

fs::path WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

// The first `kept` of `source`'s bytes, in `dir`.
fs::path Truncated(const fs::path& dir, const fs::path& source, double kept = 2.0 / 3) {
    const fs::path file = dir / ("truncated" + source.extension().string());
    fs::copy_file(source, file);
    fs::resize_file(file,
                    static_cast<std::uintmax_t>(static_cast<double>(fs::file_size(file)) * kept));
    return file;
}

// The video's bit rate as ffprobe reports it; 0 when it gives none.
std::int64_t FfprobeBitRate(const fs::path& file) {
    const std::string text = testmedia::Run(
        "ffprobe -v error -select_streams v:0 -show_entries stream=bit_rate -of csv=p=0 " +
        Quote(file.string()));
    return text.empty() || text[0] < '0' || text[0] > '9' ? 0 : std::stoll(text);
}

// A half-copied download: the index at the front lists every packet, the
// data behind it stops half-way.
fs::path HalfFastStartMp4(const fs::path& dir) {
    const fs::path whole = Make(
        "probe_faststart.mp4",
        kPicture + " " + kSound + " -pix_fmt yuv420p -c:v libx264 -c:a aac -movflags +faststart");
    return Truncated(dir, whole, 0.5);
}

// Raw 10-bit video (v210) at 400 pictures a second: about 2.75 Gbit/s,
// beyond what 32 bits hold.
fs::path FastRawVideo(const fs::path&) {
    return Make("v210_400fps.mov",
                "-f lavfi -i testsrc=size=640x480:rate=400 -frames:v 4 -c:v v210");
}

struct ProbeCase {
    const char* name;
    Writer file;
    int result;
    // The file system's error, not a refusal of what the file holds.
    bool unreadable = false;
    // Expected facts when accepted; unset ones are not checked.
    int width = 0, height = 0;
    int fpsNum = 0, fpsDen = 0;
    std::optional<std::int64_t> duration = std::nullopt;  // microseconds
    std::optional<int> profile = std::nullopt;
    bool bitRateKnown = false;
};

std::ostream& operator<<(std::ostream& os, const ProbeCase& c) { return os << c.name; }

class ProbeFile : public testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeFile, ReportsOrRefuses) {
    const ProbeCase& c = GetParam();
    testmedia::TempDir dir;
    const fs::path file = c.file(dir.path());

    CAVConverter engine;
    // Values of an earlier file must not show through.
    ASSERT_EQ(Probe(engine, testmedia::Make("other.mkv",
                                            "-f lavfi -i testsrc=duration=1:size=320x240:rate=30 "
                                            "-pix_fmt yuv420p -c:v libx264")),
              kProbeOk);

    const velmora::ProbeFacts facts = engine.ProbeFile(file.string());
    EXPECT_EQ(facts.error, c.result);
    EXPECT_EQ(facts.unreadable, c.unreadable);
    // Also for a refused file: nothing of the file before is left.
    ExpectFieldsHold(engine, facts);
    if (c.result != kProbeOk) return;
    EXPECT_EQ(facts.width, c.width);
    EXPECT_EQ(facts.height, c.height);
    if (c.fpsDen) {
        EXPECT_EQ(facts.fpsNum, c.fpsNum);
        EXPECT_EQ(facts.fpsDen, c.fpsDen);
    }
    if (c.duration && *c.duration == AV_NOPTS_VALUE) {
        EXPECT_EQ(facts.duration, AV_NOPTS_VALUE);
    } else if (c.duration) {
        EXPECT_NEAR(static_cast<double>(facts.duration), static_cast<double>(*c.duration),
                    100000.0);
    }
    if (c.profile) {
        EXPECT_EQ(facts.videoProfile, *c.profile);
    }
    EXPECT_EQ(facts.videoCodec, FfprobeCodec(file));
    if (c.bitRateKnown) {
        // The whole value, as ffprobe gives it.
        EXPECT_GT(facts.videoBitRate, 0);
        EXPECT_EQ(facts.videoBitRate, FfprobeBitRate(file));
    } else {
        EXPECT_EQ(facts.videoBitRate, 0);
    }
}

constexpr int kHigh = 100;  // FF_PROFILE_H264_HIGH

fs::path CoveredMp4(const fs::path&) {
    return Make("mjpeg_cover.mp4", "-i " + Quote(SmallVideo("mp4")) + " -i " + Quote(Cover()) +
                                       " -map 0 -map 1 -c copy -disposition:v:1 attached_pic");
}

fs::path CameraAvi(const fs::path&) {
    return Make("mjpeg_two_tracks.avi", kPicture + " " + kSound +
                                            " -map 0:v -map 1:a -map 1:a -c:v mjpeg -q:v 8 "
                                            "-c:a pcm_s16le");
}

fs::path CoveredMp3(const fs::path&) {
    return Make("cover.mp3", kSound + " -i " + Quote(Cover()) +
                                 " -map 0:a -map 1:v -c:a libmp3lame -c:v copy "
                                 "-disposition:v attached_pic");
}

fs::path RandomBytes(const fs::path& dir) {
    std::string bytes(8192, '\0');
    unsigned x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    return WriteBytes(dir / "noise.mkv", bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProbeFile,
    testing::Values(
        ProbeCase{.name = "mp4",
                  .file = [](const fs::path&) { return SmallVideo("mp4"); },
                  .result = kProbeOk,
                  .width = 160,
                  .height = 120,
                  .fpsNum = 25,
                  .fpsDen = 1,
                  .duration = 2000000,
                  .profile = kHigh,
                  .bitRateKnown = true},
        ProbeCase{.name = "mkv",
                  .file = [](const fs::path&) { return SmallVideo("mkv"); },
                  .result = kProbeOk,
                  .width = 160,
                  .height = 120,
                  .fpsNum = 25,
                  .fpsDen = 1,
                  .duration = 2000000,
                  .profile = kHigh},
        // No duration is known for a raw stream.
        ProbeCase{.name = "raw_h264",
                  .file = [](const fs::path&) { return RawH264(); },
                  .result = kProbeOk,
                  .width = 160,
                  .height = 120,
                  .fpsNum = 25,
                  .fpsDen = 1,
                  .duration = AV_NOPTS_VALUE,
                  .profile = kHigh},
        // The real video, not the 64x48 cover, is reported.
        ProbeCase{.name = "mp4_with_cover",
                  .file = CoveredMp4,
                  .result = kProbeOk,
                  .width = 160,
                  .height = 120,
                  .fpsNum = 25,
                  .fpsDen = 1,
                  .duration = 2000000,
                  .profile = kHigh,
                  .bitRateKnown = true},
        // A camera file: MJPEG video with two sound tracks is video.
        ProbeCase{.name = "mjpeg_two_tracks",
                  .file = CameraAvi,
                  .result = kProbeOk,
                  .width = 160,
                  .height = 120,
                  .fpsNum = 25,
                  .fpsDen = 1,
                  .duration = 2000000,
                  .bitRateKnown = true},
        // A file cut short can still be read as far as it goes.
        ProbeCase{.name = "truncated_mkv",
                  .file = [](const fs::path& dir) { return Truncated(dir, SmallVideo("mkv")); },
                  .result = kProbeOk,
                  .width = 160,
                  .height = 120,
                  .fpsNum = 25,
                  .fpsDen = 1},
        // A download cut short is the user's video as far as it goes: the
        // index at its front still gives every fact.
        ProbeCase{.name = "truncated_faststart_mp4",
                  .file = HalfFastStartMp4,
                  .result = kProbeOk,
                  .width = 160,
                  .height = 120,
                  .fpsNum = 25,
                  .fpsDen = 1,
                  .duration = 2000000,
                  .profile = kHigh,
                  .bitRateKnown = true},
        // More than 2^31 bit/s.
        ProbeCase{.name = "raw_video_beyond_32_bits",
                  .file = FastRawVideo,
                  .result = kProbeOk,
                  .width = 640,
                  .height = 480,
                  .fpsNum = 400,
                  .fpsDen = 1,
                  .bitRateKnown = true},
        // Copying needs no decoder, so a video FFmpeg cannot decode is
        // accepted; its size is unknown, not that of the file before.
        ProbeCase{.name = "video_without_decoder",
                  .file = [](const fs::path&) { return VideoWithoutDecoder(); },
                  .result = kProbeOk},
        // Refused.
        ProbeCase{.name = "audio_only",
                  .file = [](const fs::path&) { return Make("sound.mka", kSound + " -c:a aac"); },
                  .result = velmora::kErrorNotVideoFile},
        ProbeCase{
            .name = "mp3_with_cover", .file = CoveredMp3, .result = velmora::kErrorNotVideoFile},
        ProbeCase{.name = "zero_bytes",
                  .file = [](const fs::path& dir) { return WriteBytes(dir / "empty.mp4", ""); },
                  .result = velmora::kErrorNotVideoFile},
        ProbeCase{
            .name = "random_bytes", .file = RandomBytes, .result = velmora::kErrorNotVideoFile},
        // An MP4 keeps its index at the end: without it nothing is readable.
        ProbeCase{.name = "truncated_mp4",
                  .file = [](const fs::path& dir) { return Truncated(dir, SmallVideo("mp4")); },
                  .result = velmora::kErrorNotVideoFile},
        // The file system's own errors pass through as they are.
        ProbeCase{.name = "missing",
                  .file = [](const fs::path& dir) { return dir / "missing.mp4"; },
                  .result = AVERROR(ENOENT),
                  .unreadable = true},
        // Files the job could not write are refused before anything is
        // written. A QuickTime file named .mp4 is written as MP4, the member
        // of its family the name stands for, which cannot hold FFV1.
        ProbeCase{.name = "video_the_container_cannot_hold",
                  .file =
                      [](const fs::path&) {
                          return Make("ffv1_quicktime.mp4", kPicture + " -c:v ffv1 -f mov");
                      },
                  .result = velmora::kErrorCodecNotInContainer},
        ProbeCase{.name = "container_writing_files_of_its_own",
                  .file =
                      [](const fs::path& dir) {
                          const fs::path file = dir / "clip.m3u8";
                          fs::copy_file(SmallVideo("ts"), file);
                          return file;
                      },
                  .result = velmora::kErrorNotSingleFile},
        // A picture stream FFmpeg reads but has no writer for.
        ProbeCase{.name = "no_writer_for_the_container",
                  .file =
                      [](const fs::path&) {
                          return Make("still_picture.xyz",
                                      "-f lavfi -i testsrc=size=64x48 "
                                      "-frames:v 1 -c:v png -f image2pipe");
                      },
                  .result = AVERROR_MUXER_NOT_FOUND},
        ProbeCase{.name = "writer_that_changes_the_video",
                  .file = [](const fs::path&) { return RealMedia(); },
                  .result = velmora::kErrorWriterChangesVideo},
        ProbeCase{.name = "a_folder",
                  .file =
                      [](const fs::path& dir) {
                          fs::create_directory(dir / "folder.mp4");
                          return dir / "folder.mp4";
                      },
                  .result = AVERROR(EISDIR),
                  .unreadable = true}),
    [](const auto& info) { return std::string(info.param.name); });

// A video FFmpeg cannot decode is still copied packet for packet.
TEST(VideoWithoutDecoder, IsCopied) {
    testmedia::TempDir dir;
    CopyOk(VideoWithoutDecoder(), dir / "avs2.ts");
    ExpectSameVideo(Media(VideoWithoutDecoder()), Media(dir / "avs2.ts"));
}

// The stop request of a stopped job stays raised until the next job; it
// must not make probes fail meanwhile.
TEST(ProbeAfterStop, StillReadsFiles) {
    CAVConverter engine;
    engine.m_bStop = true;
    EXPECT_EQ(Probe(engine, SmallVideo("mp4")), kProbeOk);
    EXPECT_EQ(engine.m_nInWidth, 160);
}

}  // namespace
}  // namespace enginetest
