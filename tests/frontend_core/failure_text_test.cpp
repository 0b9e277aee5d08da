// What a user reads about a failed file: words to act on, never only an
// errno text.

#include "frontend_core/failure_text.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/engine_errors.h"
#include "frontend_core/container_text.h"
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
    const char* container = "";  // the muxer the engine chose; "": none given
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
        {velmora::kErrorUnknownDvFrame, AV_NOPTS_VALUE, "out/a.dv",
         "a DV frame of the file is damaged or of an unknown kind, so the sound inside it cannot "
         "be removed"},
        {AVERROR_MUXER_NOT_FOUND, AV_NOPTS_VALUE, "out/a.nsv",
         "FFmpeg can read this file's container but has no writer for it"},
        // An extension no muxer lists says nothing about why a copy failed.
        {AVERROR(ENOSPC), AV_NOPTS_VALUE, "out/a.tod", "the disk is full"},
        {velmora::kErrorWriterChangesVideo, AV_NOPTS_VALUE, "out/a.rm",
         "FFmpeg's RealMedia writer does not keep the video packets as they are, so a copy "
         "would not be the same video; the file is not copied"},
        // The container the engine chose, not the one the name stands for.
        {velmora::kErrorCodecNotInContainer, AV_NOPTS_VALUE, "out/a.mts",
         "the MPEG-TS container cannot hold this video", "mpegts"},
        {velmora::kErrorInputTruncated, AV_NOPTS_VALUE, "out/a.mp4",
         "the file is cut short before its first picture"},
    };
    for (const FailureCase& c : cases)
        EXPECT_EQ(FailureText(c.error, c.at, c.output, c.container), c.text) << c.error;
}

// What velmora-cli adds to a copy whose name stood for another container.
TEST(NameMismatchText, SaysWhatTheFileIsAndHowItWasCopied) {
    struct Case {
        velmora::ContainerRecord container;
        const char* input;
        const char* text;
    };
    const Case cases[] = {
        {{"vob", false, true}, "in.m2v", "an MPEG-PS file named .m2v, copied as MPEG-PS"},
        {{"mp4", false, true}, "dir/clip.avi", "an MP4 file named .avi, copied as MP4"},
        {{"mov", false, true}, "clip.MP3", "a MOV file named .MP3, copied as MOV"},
        {{"mpegts", true, true}, "disc.mp4", "an M2TS file named .mp4, copied as M2TS"},
        {{"flv", false, true}, "clip.mkv", "an FLV file named .mkv, copied as FLV"},
        {{"mov", false, false}, "clip.qt", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(NameMismatchText(c.container, c.input), c.text);
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

// Why the probe refused a file that is there and readable as far as the
// disk tells: the probe's own refusals, and FFmpeg's and the file system's
// errors, each worded as what it is. A real errno is never taken for one of
// the probe's refusals.
TEST(FailureText, ProbeRefusalSaysWhy) {
    struct RefusalCase {
        int error;
        bool unreadable;
        int videoCodec;
        const char* text;
    };
    const RefusalCase cases[] = {
        {velmora::kErrorCodecNotInContainer, false, AV_CODEC_ID_FFV1,
         "the MP4 container cannot hold FFV1 video"},
        {velmora::kErrorNotVideoFile, false, 0,
         "not a video file: FFmpeg cannot read it as media, or it has no video stream"},
        {velmora::kErrorNoStreamInfo, false, 0,
         "the streams of the file cannot be read; it may be damaged or cut short"},
        {AVERROR(EIO), true, 0, "the file cannot be read (Input/output error)"},
        {AVERROR(EPERM), true, 0, "the file cannot be read (Operation not permitted)"},
        // A decoder's errors: once the same numbers as the refusals above.
        {AVERROR(EPERM), false, 0,
         "a decoder for its video or audio cannot be opened (Operation not permitted)"},
        {AVERROR(ENOENT), false, 0,
         "a decoder for its video or audio cannot be opened (No such file or directory)"},
        {AVERROR(ENOMEM), false, 0, "out of memory"},
    };
    testmedia::TempDir dir;
    const std::string file = (dir / "renamed.mp4").string();
    std::ofstream(file) << "not read here";
    for (const RefusalCase& c : cases) {
        velmora::ProbeFacts facts;
        facts.error = c.error;
        facts.unreadable = c.unreadable;
        facts.videoCodec = c.videoCodec;
        EXPECT_EQ(ProbeRefusalText(file, facts), c.text) << c.text;
    }
}

}  // namespace
