// The cells of a probed file as the file list and `velmora-cli --probe`
// both show them, from the record a probe returns.

#include "frontend_core/probe_cells.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avutil.h>
}

namespace {

struct Facts {
    std::int64_t duration;
    int width, height;
    std::int64_t bitRate;
    int fpsNum, fpsDen, profile;
};

struct Case {
    const char* label;
    std::string path;
    Facts facts;
    // extension, duration, size, bit rate, frame rate, profile
    std::string cells[6];
};

TEST(CellsOfProbe, ShowTheDesignedTexts) {
    const Case cases[] = {
        {"full HD",
         "/v/clip.mp4",
         {205040000, 1920, 1080, 2500000, 25, 1, 100},
         {"mp4", "00:03:25.040", "1920*1080", "2500kbps", "25.00fps", "100"}},
        {"NTSC rate",
         "/v/a.mkv",
         {1001000, 160, 120, 235044, 30000, 1001, 0},
         {"mkv", "00:00:01.001", "160*120", "235kbps", "29.97fps", "0"}},
        {"unknown bit rate",
         "/v/fast.mov",
         {59999000, 320, 240, 0, 120, 1, 77},
         {"mov", "00:00:59.999", "320*240", "", "120.00fps", "77"}},
        {"999 bit/s, slow rate",
         "/v/slow.avi",
         {1000, 64, 48, 999, 8, 1, -99},
         {"avi", "00:00:00.001", "64*48", "0kbps", " 8.00fps", "-99"}},
        // Raw video beyond 2^31 bit/s: the whole rate, not its low 32 bits.
        {"v210 at 400 fps",
         "/v/raw.mov",
         {10000, 640, 480, 2752512000LL, 400, 1, -99},
         {"mov", "00:00:00.010", "640*480", "2752512kbps", "400.00fps", "-99"}},
        {"more than 99 hours",
         "/v/long.ts",
         {360000000000LL, 720, 576, 1000, 25, 1, 0},
         {"ts", "100:00:00.000", "720*576", "1kbps", "25.00fps", "0"}},
        // A zero denominator has no finite rate: the window's text, in both
        // front ends.
        {"unknown duration, zero denominator",
         "/v/raw.h264",
         {AV_NOPTS_VALUE, 160, 120, 0, 0, 0, 66},
         {"h264", "", "160*120", "", " 0.00fps", "66"}},
        {"zero denominator, any numerator",
         "/v/odd.mkv",
         {-5, 2, 2, 0, 25, 0, 0},
         {"mkv", "", "2*2", "", " 0.00fps", "0"}},
        {"dot only in a folder",
         "/v/a.b/movie",
         {0, 1, 1, 0, 1, 1, 0},
         {"b/movie", "00:00:00.000", "1*1", "", " 1.00fps", "0"}},
        {"no dot at all",
         "movie",
         {0, 1, 1, 0, 1, 1, 0},
         {"movie", "00:00:00.000", "1*1", "", " 1.00fps", "0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        velmora::ProbeFacts facts;
        facts.duration = c.facts.duration;
        facts.width = c.facts.width;
        facts.height = c.facts.height;
        facts.videoBitRate = c.facts.bitRate;
        facts.fpsNum = c.facts.fpsNum;
        facts.fpsDen = c.facts.fpsDen;
        facts.videoProfile = c.facts.profile;
        const ProbeCells cells = CellsOfProbe(c.path, facts);
        EXPECT_EQ(cells.path, c.path);
        EXPECT_EQ(cells.extension, c.cells[0]);
        EXPECT_EQ(cells.duration, c.cells[1]);
        EXPECT_EQ(cells.size, c.cells[2]);
        EXPECT_EQ(cells.bitRate, c.cells[3]);
        EXPECT_EQ(cells.frameRate, c.cells[4]);
        EXPECT_EQ(cells.profile, c.cells[5]);
    }
}

// The profile's name beside its number, as FFmpeg names it for the codec;
// none for a profile FFmpeg does not name.
TEST(CellsOfProbe, NameTheProfile) {
    struct NameCase {
        AVCodecID codec;
        int profile;
        const char* name;
    };
    const NameCase cases[] = {
        {AV_CODEC_ID_H264, FF_PROFILE_H264_HIGH, "High"},
        {AV_CODEC_ID_H264, FF_PROFILE_H264_MAIN, "Main"},
        {AV_CODEC_ID_H264, FF_PROFILE_H264_CONSTRAINED_BASELINE, "Constrained Baseline"},
        {AV_CODEC_ID_HEVC, FF_PROFILE_HEVC_MAIN_10, "Main 10"},
        {AV_CODEC_ID_MPEG4, FF_PROFILE_MPEG4_SIMPLE, "Simple Profile"},
        {AV_CODEC_ID_H264, FF_PROFILE_UNKNOWN, ""},
        {AV_CODEC_ID_V210, FF_PROFILE_UNKNOWN, ""},
        {AV_CODEC_ID_NONE, 0, ""},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        velmora::ProbeFacts facts;
        facts.videoCodec = c.codec;
        facts.videoProfile = c.profile;
        const ProbeCells cells = CellsOfProbe("/v/a.mp4", facts);
        EXPECT_EQ(cells.profile, std::to_string(c.profile));
        EXPECT_EQ(cells.profileName, c.name);
    }
}

// A duration longer than the time text's 32-bit millisecond count shows the
// longest time it can hold, not nothing: the job on it still has an end.
TEST(CellsOfProbe, OverlongDurationIsCappedAtTheLargestTimeText) {
    EXPECT_EQ(DurationText(std::int64_t{1} << 52), DurationText(2147483647LL * 1000));
    EXPECT_FALSE(DurationText(std::int64_t{1} << 52).empty());
}

}  // namespace
