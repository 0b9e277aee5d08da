// The copy itself: the output's video packets are the input's, byte for
// byte, shifted to start at zero; nothing of the sound, the subtitles or the
// cover pictures reaches the output.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>

#include "engine_test_support.h"

namespace enginetest {
namespace {

using testmedia::Make;
using testmedia::Quote;

// ---- One video and one audio stream, in every container we write -------

struct ContainerCase {
    const char* ext;
    const char* codecs;  // ffmpeg options that make the source
    double start = 0;    // where the container's writer starts the copy
};

std::ostream& operator<<(std::ostream& os, const ContainerCase& c) { return os << c.ext; }

class ContainerCopy : public testing::TestWithParam<ContainerCase> {};

TEST_P(ContainerCopy, CopiesVideoPacketsAndNoSound) {
    const ContainerCase& c = GetParam();
    const fs::path in =
        Make(std::string("av.") + c.ext, kPicture + " " + kSound + " -pix_fmt yuv420p " + c.codecs);
    testmedia::TempDir dir;
    const fs::path out = dir / (std::string("av.") + c.ext);
    CopyOk(in, out);

    const Media source(in), copy(out);
    const int outVideo = copy.Video();
    ASSERT_GE(outVideo, 0);
    ExpectSameVideo(source, copy);
    // Starts at zero (a TS at its buffer time); a muxer may still delay it
    // by the B-frame reorder depth (two frames, 0.08 s) so that no dts is
    // negative.
    const double start = copy.FirstTime(outVideo) - c.start;
    EXPECT_GE(start, 0.0);
    EXPECT_LE(start, 0.081);

    EXPECT_EQ(copy.streams.at(outVideo).codecTag, source.streams.at(source.Video()).codecTag);
    EXPECT_EQ(copy.Count("video"), 1);
    EXPECT_EQ(copy.Count("audio"), 0) << "an audio track declared in " << out;
    for (const auto& p : copy.packets)
        EXPECT_EQ(p.stream, outVideo) << "a packet of another stream in " << out;
}

INSTANTIATE_TEST_SUITE_P(Containers, ContainerCopy,
                         testing::Values(ContainerCase{"mp4", "-c:v libx264 -c:a aac"},
                                         ContainerCase{"mov", "-c:v libx264 -c:a aac"},
                                         ContainerCase{"mkv", "-c:v libx264 -c:a aac"},
                                         ContainerCase{"avi", "-c:v libx264 -c:a libmp3lame"},
                                         ContainerCase{"flv", "-c:v libx264 -c:a aac"},
                                         ContainerCase{"ts", "-c:v libx264 -c:a aac",
                                                       testmedia::kTransportStreamStart},
                                         ContainerCase{"wmv", "-c:v wmv2 -c:a wmav2"},
                                         ContainerCase{"asf", "-c:v msmpeg4 -c:a wmav2"},
                                         ContainerCase{"webm", "-c:v libvpx -c:a libopus"}),
                         [](const auto& info) { return std::string(info.param.ext); });

// ---- Cover pictures, subtitles and pictures that are real video ----------

fs::path Cover(const std::string& ext) {
    return Make("cover." + ext, "-f lavfi -i testsrc=size=64x48 -frames:v 1");
}

fs::path Subtitles() {
    const fs::path file = testmedia::CacheDir() / "subs.srt";
    if (!fs::exists(file)) {
        // Written under a private name and renamed, as Make() does.
        fs::create_directories(file.parent_path());
        const fs::path tmp = file.string() + "." + std::to_string(getpid());
        std::ofstream(tmp) << "1\n00:00:00,000 --> 00:00:01,000\nHello\n\n"
                              "2\n00:00:01,000 --> 00:00:02,000\nWorld\n";
        fs::rename(tmp, file);
    }
    return file;
}

fs::path H264Mp4() { return SmallVideo("mp4"); }

struct LayoutCase {
    const char* name;
    std::function<fs::path()> make;
};

std::ostream& operator<<(std::ostream& os, const LayoutCase& c) { return os << c.name; }

class StreamLayout : public testing::TestWithParam<LayoutCase> {};

// The output holds the real video, packet for packet, and nothing else:
// no audio track, cover picture or subtitle.
TEST_P(StreamLayout, KeepsOnlyTheVideo) {
    const LayoutCase& c = GetParam();
    const fs::path in = c.make();
    testmedia::TempDir dir;
    const fs::path out = dir / c.name;
    CopyOk(in, out);

    const Media copy(out);
    const int outVideo = copy.Video();
    ASSERT_GE(outVideo, 0) << "no video in " << out;
    ExpectSameVideo(Media(in), copy);
    EXPECT_EQ(copy.Count("video"), 1);
    EXPECT_EQ(copy.Count("audio"), 0) << "an audio track declared in " << out;
    EXPECT_EQ(copy.Count("subtitle"), 0);
    for (const auto& s : copy.streams)
        EXPECT_FALSE(s.attachedPic) << "cover picture kept in " << out;
    for (const auto& p : copy.packets) EXPECT_EQ(p.stream, outVideo);
}

const std::string kPictureAndSound = kPicture + " " + kSound;

INSTANTIATE_TEST_SUITE_P(
    Layouts, StreamLayout,
    testing::Values(
        LayoutCase{"audio_first.mkv",
                   [] {
                       return Make("audio_first.mkv", kSound + " " + kPicture +
                                                          " -map 0:a -map 1:v -pix_fmt yuv420p "
                                                          "-c:v libx264 -c:a aac");
                   }},
        LayoutCase{"audio_first.mp4",
                   [] {
                       return Make("audio_first.mp4", kSound + " " + kPicture +
                                                          " -map 0:a -map 1:v -pix_fmt yuv420p "
                                                          "-c:v libx264 -c:a aac");
                   }},
        // A camera file: MJPEG video and PCM sound, two streams.
        LayoutCase{"mjpeg.avi",
                   [] {
                       return Make("mjpeg.avi",
                                   kPictureAndSound + " -c:v mjpeg -q:v 8 -c:a pcm_s16le");
                   }},
        // MJPEG video with two sound tracks is still the file's video.
        LayoutCase{"mjpeg_two_tracks.avi",
                   [] {
                       return Make(
                           "mjpeg_two_tracks.avi",
                           kPictureAndSound +
                               " -map 0:v -map 1:a -map 1:a -c:v mjpeg -q:v 8 -c:a pcm_s16le");
                   }},
        LayoutCase{"png_video.mov",
                   [] {
                       return Make(
                           "png_video.mov",
                           kPictureAndSound + " -map 0:v -map 1:a -map 1:a -c:v png -c:a aac");
                   }},
        LayoutCase{"png_cover.mp4",
                   [] {
                       return Make("png_cover.mp4",
                                   "-i " + Quote(H264Mp4()) + " -i " + Quote(Cover("png")) +
                                       " -map 0 -map 1 -c copy -disposition:v:1 attached_pic");
                   }},
        LayoutCase{"mjpeg_cover.mp4",
                   [] {
                       return Make("mjpeg_cover.mp4",
                                   "-i " + Quote(H264Mp4()) + " -i " + Quote(Cover("jpg")) +
                                       " -map 0 -map 1 -c copy -disposition:v:1 attached_pic");
                   }},
        LayoutCase{"png_attachment.mkv",
                   [] {
                       return Make("png_attachment.mkv",
                                   "-i " + Quote(H264Mp4()) + " -attach " + Quote(Cover("png")) +
                                       " -map 0 -c copy -metadata:s:t:0 mimetype=image/png");
                   }},
        LayoutCase{"subtitles.mkv",
                   [] {
                       return Make("subtitles.mkv", "-i " + Quote(H264Mp4()) + " -i " +
                                                        Quote(Subtitles()) +
                                                        " -map 0 -map 1 -c copy -c:s srt");
                   }},
        LayoutCase{"subtitles.mp4",
                   [] {
                       return Make("subtitles.mp4", "-i " + Quote(H264Mp4()) + " -i " +
                                                        Quote(Subtitles()) +
                                                        " -map 0 -map 1 -c copy -c:s mov_text");
                   }}),
    [](const auto& info) { return testmedia::TestNameOf(info.param.name); });

// ---- Timestamps ---------------------------------------------------------

// A transport stream made by the ffmpeg program starts at 1.4 s or a little
// later (the sound's priming); its copy starts at the TS writer's own 1.4 s,
// pts and dts moved alike, and its clock runs 0.7 s ahead of every frame's
// decode time, as in the input: a player that follows the buffer model
// has that long to decode each frame.
TEST(Timestamps, TransportStreamCopyKeepsTheDecoderBuffer) {
    const fs::path in =
        Make("late.ts", kPictureAndSound + " -pix_fmt yuv420p -c:v libx264 -bf 0 -c:a aac");
    const Media source(in);
    const double start = source.FirstTime(0);
    ASSERT_GE(start, 1.4);
    ASSERT_NEAR(testmedia::DecoderBufferSeconds(in).value_or(0), 0.7, 0.01);
    testmedia::TempDir dir;
    CopyOk(in, dir / "late.ts");
    const Media copy(dir / "late.ts");
    EXPECT_NEAR(ExpectSameVideo(source, copy), testmedia::kTransportStreamStart - start, 1e-9);
    EXPECT_NEAR(copy.FirstTime(0), testmedia::kTransportStreamStart, 1e-9);
    EXPECT_NEAR(testmedia::DecoderBufferSeconds(dir / "late.ts").value_or(0), 0.7, 0.01);
}

// A first video pts of 0 means no shift, even when the dts before it are
// negative (B-frames).
TEST(Timestamps, FirstPtsZeroIsNotShifted) {
    const Media source(H264Mp4());
    ASSERT_EQ(source.FirstTime(0), 0.0);
    testmedia::TempDir dir;
    CopyOk(source.file, dir / "zero.mp4");
    EXPECT_EQ(ExpectSameVideo(source, Media(dir / "zero.mp4")), 0.0);
}

// Packets without timestamps keep them unset. An MPEG program stream with
// B-frames has frames that start inside a PES packet and so have no pts;
// copied into a transport stream (which starts at 1.4 s, so the copy is
// shifted) they make a source whose unset pts would turn into garbage
// if shifted. A raw H.264 stream has no timestamps at all.
TEST(Timestamps, UnsetTimestampsStayUnset) {
    const fs::path ps = Make("bframes.mpg", kPictureAndSound + " -c:v mpeg2video -bf 2 -c:a mp2");
    const fs::path ts = Make("unset_pts.ts", "-i " + Quote(ps) + " -c copy");
    const Media source(ts);
    int unset = 0;
    for (const auto& p : source.PacketsOf(0)) unset += !p.pts;
    ASSERT_GT(unset, 0) << "the source has no packet without pts";
    ASSERT_GT(source.FirstTime(0), 1.0);

    testmedia::TempDir dir;
    CopyOk(ts, dir / "unset_pts.ts");
    const Media copy(dir / "unset_pts.ts");
    EXPECT_NEAR(ExpectSameVideo(source, copy),
                testmedia::kTransportStreamStart - source.FirstTime(0), 0.1);
    for (const auto& p : copy.packets) {
        if (p.pts) {
            EXPECT_LT(Seconds(*p.pts, "1/90000"), 10.0);
        }
    }

    const fs::path raw = Make("raw.h264", kPicture + " -pix_fmt yuv420p -c:v libx264");
    CopyOk(raw, dir / "raw.h264");
    ExpectSameVideo(Media(raw), Media(dir / "raw.h264"));
}

// H.264 at two pictures a second in an MPEG program stream, as slow
// cameras record it: several small pictures share a PES packet, so some
// packets have no time at all, and the next timed one lies far ahead.
// FFmpeg's program stream muxer looped for ever on such a packet; the copy
// now ends, and the packets and the times the file holds are the input's.
TEST(Timestamps, SlowProgramStreamWithUntimedPacketsIsCopied) {
    const fs::path in =
        Make("two_per_second.mpg",
             "-f lavfi -i testsrc=duration=4:size=160x120:rate=2 -f lavfi -i sine=duration=4 "
             "-pix_fmt yuv420p -c:v libx264 -c:a mp2");
    const Media source(in);
    int untimed = 0;
    for (const auto& p : source.PacketsOf(source.Video())) untimed += !p.dts;
    ASSERT_GT(untimed, 0) << "every packet of the source has a time";

    testmedia::TempDir dir;
    CopyOk(in, dir / "two_per_second.mpg");
    ExpectSameVideo(source, Media(dir / "two_per_second.mpg"));
}

// An AVI with B-frames stores no pts at all.
TEST(Timestamps, AviWithBFramesKeepsItsTimes) {
    const fs::path in = Make(
        "bframes.avi", kPictureAndSound + " -pix_fmt yuv420p -c:v libx264 -bf 2 -c:a libmp3lame");
    testmedia::TempDir dir;
    CopyOk(in, dir / "bframes.avi");
    EXPECT_EQ(ExpectSameVideo(Media(in), Media(dir / "bframes.avi")), 0.0);
}

// Several video streams (camera angles, a main and a preview picture) are
// all moved by one amount, the earliest start among them, so streams that
// played together still do. Here all three start 3 s in, the third 2 s
// after the others (where the container can say so: MP4 tells a late start
// only through an edit list, which FFmpeg reads as no gap).
class SeveralVideoStreams : public testing::TestWithParam<ContainerCase> {};

TEST_P(SeveralVideoStreams, KeepTheirOffsetsToEachOther) {
    const ContainerCase& c = GetParam();
    const std::string name = std::string("three_videos.") + c.ext;
    const fs::path in =
        Make(name, kPicture + " " + kPicture + " -itsoffset 2 " + kPicture + " " + kSound +
                       " -map 0:v -map 1:v -map 2:v -map 3:a -pix_fmt yuv420p " + c.codecs +
                       " -output_ts_offset 3");
    testmedia::TempDir dir;
    CopyOk(in, dir / name);
    const Media source(in), copy(dir / name);
    ASSERT_EQ(copy.Count("video"), 3);
    ASSERT_GE(source.FirstTime(0), 3.0);
    for (int stream : {0, 1, 2}) {
        ExpectSamePackets(source, stream, copy, stream);
        EXPECT_NEAR(copy.FirstTime(stream) - copy.FirstTime(0),
                    source.FirstTime(stream) - source.FirstTime(0), 0.002)
            << "stream " << stream;
    }
    EXPECT_NEAR(copy.FirstTime(0), c.start, 0.002);
}

INSTANTIATE_TEST_SUITE_P(Containers, SeveralVideoStreams,
                         testing::Values(ContainerCase{"mkv", "-c:v libx264 -bf 0 -c:a aac"},
                                         ContainerCase{"mp4", "-c:v libx264 -bf 0 -c:a aac"},
                                         ContainerCase{"ts", "-c:v libx264 -bf 0 -c:a aac",
                                                       testmedia::kTransportStreamStart}),
                         [](const auto& info) { return std::string(info.param.ext); });

// ---- What players need besides the packets ------------------------------

// A source made with `-metadata:s:v:0 rotate=90` carries a display matrix.
TEST(Presentation, RotationSurvives) {
    for (const std::string ext : {"mp4", "mov"}) {
        const fs::path in =
            Make("rotated." + ext, "-i " + Quote(H264Mp4()) + " -c copy -metadata:s:v:0 rotate=90");
        ASSERT_EQ(testmedia::Streams(in).at(0).rotation, 90.0);
        testmedia::TempDir dir;
        CopyOk(in, dir / ("rotated." + ext));
        EXPECT_EQ(testmedia::Streams(dir / ("rotated." + ext)).at(0).rotation, 90.0) << ext;
    }
}

// HEVC tagged 'hvc1' stays 'hvc1' in MP4: Apple players refuse 'hev1'.
TEST(Presentation, HevcKeepsItsCodecTag) {
    const fs::path in = Make(
        "hvc1.mp4",
        kPictureAndSound +
            " -pix_fmt yuv420p -c:v libx265 -x265-params log-level=error -tag:v hvc1 -c:a aac");
    ASSERT_EQ(testmedia::Streams(in).at(0).codecTag, "hvc1");
    testmedia::TempDir dir;
    CopyOk(in, dir / "hvc1.mp4");
    EXPECT_EQ(testmedia::Streams(dir / "hvc1.mp4").at(0).codecTag, "hvc1");
    ExpectSameVideo(Media(in), Media(dir / "hvc1.mp4"));
}

}  // namespace
}  // namespace enginetest
