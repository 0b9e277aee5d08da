// What a user reads about a failed file: words to act on, never only an
// errno text.

#include "jobs/failure_text.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/engine_errors.h"
#include "test_media.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/avutil.h>
#include <libavutil/error.h>
}

namespace {

struct FailureCase {
    int error;
    long long at;  // µs; AV_NOPTS_VALUE: not a read error
    const char* output;
    const char* text;
};

TEST(FailureText, SaysWhatWentWrong) {
    const FailureCase cases[] = {
        {AVERROR(ENOSPC), AV_NOPTS_VALUE, "out/a.mp4", "the disk is full"},
        {AVERROR(EIO), 33'800'000, "out/a.ts", "read error at 00:00:33.800 (Input/output error)"},
        {AVERROR_INVALIDDATA, 5'000'000, "out/a.mkv",
         "the file is damaged beyond repair at 00:00:05.000"},
        {velmora::kErrorCodecNotInContainer, AV_NOPTS_VALUE, "out/a.mp4",
         "the MP4 container cannot hold this video"},
        {velmora::kErrorNotSingleFile, AV_NOPTS_VALUE, "out/a.m3u8",
         "the HLS format writes files of its own (a sequence, a playlist or segments), not one "
         "video file"},
        {AVERROR(EACCES), AV_NOPTS_VALUE, "out/a.mp4", "permission denied"},
        {velmora::kErrorOutputRemoved, AV_NOPTS_VALUE, "out/a.mp4",
         "the output file was removed while it was written"},
        {velmora::kErrorInputTruncated, AV_NOPTS_VALUE, "out/a.mp4",
         "the file is cut short before its first picture"},
        {0, AV_NOPTS_VALUE, "out/a.rmvb",
         "FFmpeg knows no container it can write for the extension \".rmvb\""},
    };
    for (const FailureCase& c : cases)
        EXPECT_EQ(FailureText(c.error, c.at, c.output), c.text) << c.error;
}

// A copy that is not whole says what it lacks; a whole one says nothing.
TEST(LeftOutText, SaysWhatTheCopyLacks) {
    struct LeftOutCase {
        long long leftOut, videoPackets, fileEnd;
        const char* text;
    };
    const LeftOutCase cases[] = {
        {0, 750, AV_NOPTS_VALUE, ""},
        {3, 750, AV_NOPTS_VALUE, "3 of 750 video packets left out"},
        {320, 745, 12'800'000, "320 of 745 video packets left out: the file ends at 00:00:12.800"},
        {1, 2, 3'725'999'999, "1 of 2 video packets left out: the file ends at 01:02:05.999"},
        // Cut short where the index cannot count the missing packets.
        {0, 117, 4'600'000, "cut short: the file ends at 00:00:04.600"},
        {0, 1, 0, "cut short: the file ends at 00:00:00.000"},
    };
    for (const LeftOutCase& c : cases)
        EXPECT_EQ(LeftOutText(c.leftOut, c.videoPackets, c.fileEnd), c.text) << c.text;
}

TEST(FailureText, ProbeRefusalNamesTheVideo) {
    testmedia::TempDir dir;
    const std::string file = (dir / "renamed.mp4").string();
    std::ofstream(file) << "not read here";
    EXPECT_EQ(ProbeRefusalText(file, velmora::kErrorCodecNotInContainer, AV_CODEC_ID_FFV1),
              "the MP4 container cannot hold FFV1 video");
}

}  // namespace
