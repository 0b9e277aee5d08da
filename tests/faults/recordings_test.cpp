// Recordings as people have them: joined, damaged, with streams the tables
// declare but never fill, with times that contradict each other. Every file
// the ffmpeg program's stream copy copies is copied whole, with at least as
// many video packets, and a copy that lost video is never reported as done.

#include <gtest/gtest.h>

#include <functional>

#include "engine/engine_errors.h"
#include "engine/input_result.h"
#include "fault_support.h"
#include "frontend_core/failure_text.h"
#include "read_shim.h"
#include "recording_shapes.h"

extern "C" {
#include <libavutil/error.h>
}

namespace faults {
namespace {

using namespace std::chrono_literals;
using enginetest::Media;
using enginetest::OutcomeOf;
using enginetest::Seconds;
using enginetest::SmallVideo;
using enginetest::StartJob;
using testmedia::Make;
using testmedia::TempDir;

const std::string kTenSeconds =
    "-f lavfi -i testsrc=duration=10:size=160x120:rate=25 -f lavfi -i sine=duration=10 ";
const std::string kH264 = "-pix_fmt yuv420p -c:v libx264 -preset ultrafast -g 25 ";

fs::path Recording(const std::string& ext, const std::string& codecs) {
    return Make("recording." + ext, kTenSeconds + codecs);
}

// The video packets the ffmpeg program's stream copy keeps of `input`.
std::vector<testmedia::Packet> FfmpegCopy(const fs::path& input, const fs::path& folder) {
    const fs::path out = folder / ("ffmpeg-copy" + input.extension().string());
    testmedia::Run("ffmpeg -nostdin -v quiet -y -i " + testmedia::Quote(input.string()) +
                   " -map 0:v -c copy " + testmedia::Quote(out.string()) + " 2>&1");
    if (!fs::exists(out)) return {};
    const Media media(out);
    return media.Video() < 0 ? std::vector<testmedia::Packet>{} : media.PacketsOf(media.Video());
}

std::vector<std::string> Hashes(const std::vector<testmedia::Packet>& packets) {
    std::vector<std::string> hashes;
    for (const auto& p : packets) hashes.push_back(p.hash);
    return hashes;
}

struct RecordingCase {
    const char* name;
    std::function<fs::path()> make;
    bool whole;         // the input is undamaged: every video packet comes out, in order
    double maxSeconds;  // the output's video lasts less than this; 0 = not checked
};

std::ostream& operator<<(std::ostream& os, const RecordingCase& c) { return os << c.name; }

class Recordings : public testing::TestWithParam<RecordingCase> {};

TEST_P(Recordings, CopyEveryVideoPacketTheFfmpegProgramCopies) {
    const RecordingCase& c = GetParam();
    const fs::path input = c.make();
    TempDir dir;
    const fs::path output = dir / ("out" + input.extension().string());
    CAVConverter engine;
    StartJob(engine, {{input, output, 10.0}});
    engine.Join();
    const JobOutcome job = OutcomeOf(engine, 1);
    ASSERT_EQ(job.statuses, std::vector<int>{kStatusSucceeded}) << InputFailureText(engine, 0);
    EXPECT_EQ(ReadInputResult(engine, 0).leftOut, 0);

    const Media out(output);
    ASSERT_GE(out.Video(), 0);
    const auto copied = out.PacketsOf(out.Video());
    const auto byFfmpeg = FfmpegCopy(input, dir.path());
    EXPECT_GE(copied.size(), byFfmpeg.size());
    EXPECT_EQ(ReadInputResult(engine, 0).videoPackets, static_cast<std::int64_t>(copied.size()));
    if (c.whole) {
        const Media in(input);
        EXPECT_EQ(Hashes(copied), Hashes(in.PacketsOf(in.Video())));
    }
    // Every dts grows; and where the time line started again it went on.
    std::optional<std::int64_t> first, last;
    for (const auto& p : copied) {
        if (!p.dts) continue;
        if (!first) first = p.dts;
        if (last) {
            ASSERT_GT(*p.dts, *last) << "dts goes back in " << output;
        }
        last = p.dts;
    }
    if (c.maxSeconds > 0 && last) {
        const auto stream = out.streams[out.Video()];
        EXPECT_LT(Seconds(*last - *first, stream.timeBase), c.maxSeconds);
    }
}

fs::path JoinedTs() {
    const fs::path part = Make("part.ts",
                               "-f lavfi -i testsrc=duration=4:size=160x120:rate=25 "
                               "-f lavfi -i sine=duration=4 " +
                                   kH264 + "-c:a aac");
    return Joined("joined.ts", {part, part, part});
}

fs::path JoinedVob() {
    const fs::path part = Make("part.vob",
                               "-f lavfi -i testsrc=duration=4:size=352x288:rate=25 "
                               "-f lavfi -i sine=duration=4 -c:v mpeg2video -c:a mp2");
    return Joined("joined.vob", {part, part});
}

fs::path JumpOfAnHour() {
    const std::string picture = "-f lavfi -i testsrc=duration=4:size=160x120:rate=25 " + kH264;
    return Joined("jump.ts", {Make("before-jump.ts", picture),
                              Make("after-jump.ts", picture + "-output_ts_offset 3600")});
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Recordings,
    testing::Values(
        RecordingCase{"joined_ts", JoinedTs, true, 12.5},
        RecordingCase{"joined_vob", JoinedVob, true, 8.5},
        RecordingCase{"forward_jump_of_an_hour", JumpOfAnHour, true, 8.5},
        RecordingCase{"zeroed_middle_ts",
                      [] { return ZeroedMiddle("zeroed.ts", Recording("ts", kH264 + "-c:a aac")); },
                      false, 0},
        RecordingCase{
            "zeroed_middle_ps",
            [] { return ZeroedMiddle("zeroed.mpg", Recording("mpg", "-c:v mpeg2video -c:a mp2")); },
            false, 0},
        RecordingCase{
            "zeroed_middle_mkv",
            [] { return ZeroedMiddle("zeroed.mkv", Recording("mkv", kH264 + "-c:a aac")); }, false,
            0},
        RecordingCase{
            "zeroed_middle_mp4",
            [] { return ZeroedMiddle("zeroed.mp4", Recording("mp4", kH264 + "-c:a aac")); }, false,
            0},
        RecordingCase{
            "zeroed_middle_flv",
            [] { return ZeroedMiddle("zeroed.flv", Recording("flv", kH264 + "-c:a aac")); }, false,
            0},
        RecordingCase{
            "zeroed_middle_avi",
            [] { return ZeroedMiddle("zeroed.avi", Recording("avi", kH264 + "-c:a mp3")); }, false,
            0},
        // A camera clip whose audio stream is declared but carries nothing:
        // no sample rate, no channels.
        RecordingCase{
            "audio_without_parameters",
            [] { return WithoutPid("avchd.mts", Recording("mts", kH264 + "-c:a ac3"), 0x101); },
            true, 0},
        RecordingCase{"pcm_audio_in_mp4",
                      [] { return Make("pcm.mp4", kTenSeconds + kH264 + "-c:a pcm_s16le -f mov"); },
                      true, 0},
        // Its frames come out without the sound they carry, so not byte for
        // byte; the DvSound engine tests check every other block of them.
        RecordingCase{"dv",
                      [] {
                          return Make(
                              "camera.dv",
                              "-f lavfi -i testsrc=duration=2:size=720x576:rate=25 -f lavfi "
                              "-i sine=duration=2:sample_rate=48000 -c:v dvvideo "
                              "-pix_fmt yuv420p -c:a pcm_s16le -ac 2");
                      },
                      false, 0},
        RecordingCase{"raw_mpeg4_with_b_frames",
                      [] {
                          return Make("raw.m4v",
                                      "-f lavfi -i testsrc=duration=2:size=160x120:rate=25 "
                                      "-c:v mpeg4 -bf 2");
                      },
                      true, 0},
        RecordingCase{"pts_before_dts",
                      [] {
                          return PtsBeforeDts("ptsdts.ts",
                                              Recording("bframes.ts", kH264 + "-bf 2 -c:a aac"));
                      },
                      true, 0},
        RecordingCase{"every_time_zero",
                      [] {
                          return AllTimesZero("zerotime.mp4",
                                              Recording("bframes.mp4", kH264 + "-bf 2 -c:a aac"));
                      },
                      true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- A read error in the middle ---------------------------------------------

class ReadError : public testing::TestWithParam<const char*> {};

// A bad sector 40 % into the input: that input fails with where it
// happened, leaves no file, and the next input is copied.
TEST_P(ReadError, FailsThatInputWithWhereItHappened) {
    const std::string ext = GetParam();
    TempDir dir;
    const fs::path input = dir / ("in." + ext);
    // The MP4's index comes first, so the bad sector lies among the packets.
    fs::copy_file(Make("read-error." + ext, kTenSeconds + kH264 + "-c:a aac" +
                                                (ext == "mp4" ? " -movflags +faststart" : "")),
                  input);
    readshim::Watching bad({"/in." + ext, static_cast<std::int64_t>(fs::file_size(input) * 2 / 5)});
    CAVConverter engine;
    StartJob(engine, {{input, dir / ("out." + ext), 10.0}, {SmallVideo("mkv"), dir / "next.mkv"}});
    engine.Join();
    const JobOutcome job = OutcomeOf(engine, 2);
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusSucceeded}));
    EXPECT_EQ(job.errors[0], AVERROR(EIO));
    const std::int64_t at = ReadInputResult(engine, 0).errorTime;
    EXPECT_GT(at, 1'000'000);
    EXPECT_LT(at, 9'000'000);
    EXPECT_EQ(InputFailureText(engine, 0).rfind("read error at 00:00:0", 0), 0u)
        << InputFailureText(engine, 0);
    EXPECT_EQ(testmedia::FilesIn(dir.path()), (std::vector<std::string>{"in." + ext, "next.mkv"}));
}

INSTANTIATE_TEST_SUITE_P(Containers, ReadError, testing::Values("ts", "mkv", "mp4"));

// ---- A stop while a large packet is read -------------------------------------

class StopMidPacket : public testing::TestWithParam<const char*> {};

// Slow reads of large pictures: the stop lands while a packet is being
// read. The shortened output ends on the last whole packet and decodes
// without an error.
TEST_P(StopMidPacket, EndsOnAWholePacket) {
    const std::string ext = GetParam();
    const fs::path source = Make("large-pictures." + ext,
                                 "-f lavfi -i testsrc=duration=4:size=1280x720:rate=25 "
                                 "-c:v mpeg2video -q:v 1 -g 1");
    TempDir dir;
    const fs::path input = dir / ("in." + ext);
    fs::copy_file(source, input);
    const fs::path output = dir / ("out." + ext);
    readshim::Watching slow({"/in." + ext, -1, -1, 3000});
    CAVConverter engine;
    StartJob(engine, {{input, output, 4.0}});
    ASSERT_TRUE(WaitForProgress(engine, 20));
    engine.m_bStop = true;
    engine.Join();
    EXPECT_EQ(OutcomeOf(engine, 1).statuses, std::vector<int>{kStatusPending});

    const Media in(source), out(output);
    const auto all = in.PacketsOf(in.Video());
    const auto kept = out.PacketsOf(out.Video());
    ASSERT_GT(kept.size(), 0u);
    ASSERT_LT(kept.size(), all.size());
    for (size_t i = 0; i < kept.size(); ++i)
        ASSERT_EQ(kept[i].hash, all[i].hash) << "packet " << i << " of " << kept.size();
    EXPECT_EQ(testmedia::Run("ffmpeg -nostdin -v error -i " + testmedia::Quote(output.string()) +
                             " -f null - 2>&1"),
              "");
}

INSTANTIATE_TEST_SUITE_P(Containers, StopMidPacket, testing::Values("ts", "mkv"));

}  // namespace
}  // namespace faults
