// Raw pictures: what the probe takes, the copy copies. A .y4m file is read
// as rawvideo packets, which FFmpeg's YUV4MPEG muxer does not take; the copy
// hands them over as frames. Raw video in the other containers goes out as
// packets. Either way the pictures and what the header says of them stay
// the same.

#include <gtest/gtest.h>

#include <functional>

#include "engine_test_support.h"

namespace enginetest {
namespace {

using testmedia::Make;
using testmedia::Quote;
using testmedia::Run;

const std::string kPictures = "-f lavfi -i testsrc=duration=0.4:size=160x120:rate=25";

// What the file's first video stream says of its pictures, as ffprobe
// prints it. An unknown pixel aspect ratio reads as square, as players
// take it: the pictures with other ratios show whether the ratio is kept.
std::string PictureFacts(const fs::path& file) {
    std::string facts =
        Run("ffprobe -v error -select_streams v:0 -show_entries "
            "stream=codec_name,width,height,r_frame_rate,pix_fmt,field_order,"
            "sample_aspect_ratio,color_range,chroma_location -of compact " +
            Quote(file.string()));
    const std::string unknown = "sample_aspect_ratio=N/A";
    if (const size_t at = facts.find(unknown); at != std::string::npos)
        facts.replace(at, unknown.size(), "sample_aspect_ratio=1:1");
    return facts;
}

// The MD5 of every decoded picture of the file's video, in order.
std::string PictureHashes(const fs::path& file) {
    std::string hashes;
    const std::string lines = Run("ffmpeg -nostdin -v error -i " + Quote(file.string()) +
                                  " -map 0:v -f framemd5 - 2>/dev/null");
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        if (end == std::string::npos) end = lines.size();
        const std::string line = lines.substr(start, end - start);
        if (!line.empty() && line[0] != '#') hashes += line.substr(line.rfind(',') + 1) + "\n";
        start = end + 1;
    }
    return hashes;
}

struct RawCase {
    const char* name;
    std::function<fs::path()> make;
};

std::ostream& operator<<(std::ostream& os, const RawCase& c) { return os << c.name; }

fs::path Y4m(const std::string& name, const std::string& options) {
    return Make(name, kPictures + " " + options + " -strict -1");
}

class Y4mAndRawVideo : public testing::TestWithParam<RawCase> {};

TEST_P(Y4mAndRawVideo, CopiesThePicturesAndWhatTheHeaderSays) {
    const RawCase& c = GetParam();
    const fs::path in = c.make();
    testmedia::TempDir dir;
    const fs::path out = dir / c.name;
    CopyOk(in, out);

    const Media source(in), copy(out);
    ExpectSameVideo(source, copy);
    EXPECT_EQ(copy.Count("video"), 1);
    EXPECT_EQ(copy.Count("audio"), 0);
    const std::string facts = PictureFacts(in);
    EXPECT_NE(facts.find("codec_name=rawvideo"), std::string::npos) << facts;
    EXPECT_EQ(PictureFacts(out), facts);
    const std::string pictures = PictureHashes(in);
    EXPECT_FALSE(pictures.empty());
    EXPECT_EQ(PictureHashes(out), pictures);
}

INSTANTIATE_TEST_SUITE_P(
    RawShapes, Y4mAndRawVideo,
    testing::Values(
        RawCase{"yuv420p.y4m", [] { return Y4m("yuv420p.y4m", "-pix_fmt yuv420p"); }},
        // Interlaced, with a pixel aspect ratio and a chroma siting of its
        // own, at an NTSC rate.
        RawCase{"interlaced.y4m",
                [] {
                    return Make("interlaced.y4m",
                                "-f lavfi -i testsrc=duration=0.4:size=352x240:rate=30000/1001 "
                                "-vf setfield=tff,setsar=10/11 -pix_fmt yuv420p "
                                "-chroma_sample_location left");
                }},
        RawCase{"bottom_first.y4m",
                [] {
                    return Y4m("bottom_first.y4m",
                               "-vf setfield=bff,setsar=12/11 -pix_fmt yuv420p "
                               "-chroma_sample_location topleft");
                }},
        RawCase{"yuv411p.y4m", [] { return Y4m("yuv411p.y4m", "-pix_fmt yuv411p"); }},
        RawCase{"yuv444p.y4m", [] { return Y4m("yuv444p.y4m", "-pix_fmt yuv444p"); }},
        RawCase{"gray.y4m", [] { return Y4m("gray.y4m", "-pix_fmt gray"); }},
        RawCase{"yuva444p.y4m", [] { return Y4m("yuva444p.y4m", "-pix_fmt yuva444p"); }},
        // Formats the YUV4MPEG muxer calls unofficial.
        RawCase{"yuv422p10.y4m", [] { return Y4m("yuv422p10.y4m", "-pix_fmt yuv422p10le"); }},
        RawCase{"gray16.y4m", [] { return Y4m("gray16.y4m", "-pix_fmt gray16le"); }},
        RawCase{"rawvideo.nut",
                [] { return Make("rawvideo.nut", kPictures + " -c:v rawvideo -pix_fmt yuv420p"); }},
        RawCase{"rawvideo.avi",
                [] { return Make("rawvideo.avi", kPictures + " -c:v rawvideo -pix_fmt bgr24"); }},
        RawCase{"rawvideo.mov",
                [] { return Make("rawvideo.mov", kPictures + " -c:v rawvideo -pix_fmt uyvy422"); }},
        RawCase{
            "rawvideo.mkv",
            [] { return Make("rawvideo.mkv", kPictures + " -c:v rawvideo -pix_fmt yuv420p"); }}),
    [](const auto& info) { return testmedia::TestNameOf(info.param.name); });

}  // namespace
}  // namespace enginetest
