// Files cut short before the job, as a download that stopped half-way
// leaves them: the index at the front still lists every packet, the data
// behind it ends early. What the file holds is copied; the engine says how
// many video packets are missing and where the copy ends. Checked against
// ffprobe on the file before the cut.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "engine/engine_errors.h"
#include "engine/input_result.h"
#include "fault_support.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace faults {
namespace {

using enginetest::Seconds;
using testmedia::Make;

// Four seconds of a busy picture, so that every cut lands among the
// pictures; the index comes first ("fast start").
const std::string kFourSeconds =
    "-f lavfi -i testsrc2=duration=4:size=320x240:rate=25 -f lavfi -i sine=duration=4 ";

// H.264 with B-frames, so that the packets are not in the order shown.
fs::path FastStartMp4() {
    return Make("cut_faststart.mp4",
                kFourSeconds + "-c:v libx264 -bf 2 -g 25 -c:a aac -movflags +faststart");
}
fs::path FastStartMov() {
    return Make("cut_faststart.mov",
                kFourSeconds + "-c:v mpeg4 -c:a pcm_s16le -movflags +faststart");
}
// Matroska with its cues written before the clusters: they mark where to
// seek, one point per key frame, and do not count the packets.
fs::path CuesFirstMkv() {
    return Make("cut_cues_first.mkv",
                kFourSeconds + "-c:v libx264 -g 25 -c:a aac -reserve_index_space 4096");
}

struct CutCase {
    const char* name;
    std::function<fs::path()> whole;
    double kept;  // share of the file's bytes left
    // The index lists every packet (MP4, MOV), so the missing ones are
    // counted; Matroska's cues only show that the file was cut.
    bool counted;
};

std::ostream& operator<<(std::ostream& os, const CutCase& c) { return os << c.name; }

// The video packets of `media`, in file order.
std::vector<testmedia::Packet> VideoOf(const Media& media) {
    return media.PacketsOf(media.Video());
}

class TruncatedDownload : public testing::TestWithParam<CutCase> {};

// The output holds the first packets of the file before the cut, byte for
// byte; the engine counts the rest as left out and places the end at the
// last packet copied. The input is left as it was.
TEST_P(TruncatedDownload, IsCopiedAsFarAsItGoes) {
    const CutCase& c = GetParam();
    const fs::path whole = c.whole();
    TempDir dir;
    const fs::path cut = dir / ("cut" + whole.extension().string());
    fs::copy_file(whole, cut);
    fs::resize_file(cut, static_cast<std::uintmax_t>(
                             std::llround(static_cast<double>(fs::file_size(whole)) * c.kept)));
    const std::string before = ReadBytes(cut);
    const fs::path output = dir / ("out" + whole.extension().string());

    CAVConverter engine;
    StartJob(engine, {{cut, output, 4.0}});
    engine.Join();
    ASSERT_EQ(engine.m_status[0].load(), kStatusSucceeded) << ReadInputResult(engine, 0).error;
    EXPECT_EQ(engine.WorkerResult(), 0);
    EXPECT_EQ(ReadBytes(cut), before);
    ASSERT_TRUE(fs::exists(output));

    const Media wholeMedia(whole);
    const Media outMedia(output);
    const auto all = VideoOf(wholeMedia);
    const auto copied = VideoOf(outMedia);
    ASSERT_FALSE(copied.empty());
    ASSERT_LT(copied.size(), all.size());
    for (size_t i = 0; i < copied.size(); ++i)
        EXPECT_EQ(copied[i].hash, all[i].hash) << "packet " << i;
    EXPECT_EQ(outMedia.Count("audio"), 0);

    const auto count = static_cast<std::int64_t>(copied.size());
    if (c.counted) {
        EXPECT_EQ(ReadInputResult(engine, 0).videoPackets, static_cast<std::int64_t>(all.size()));
        EXPECT_EQ(ReadInputResult(engine, 0).leftOut,
                  static_cast<std::int64_t>(all.size()) - count);
    } else {
        EXPECT_EQ(ReadInputResult(engine, 0).videoPackets, count);
        EXPECT_EQ(ReadInputResult(engine, 0).leftOut, 0);
    }
    // Where the copy ends: the time of its last packet, as the output has it.
    const std::int64_t end = ReadInputResult(engine, 0).fileEnd;
    ASSERT_NE(end, AV_NOPTS_VALUE);
    ASSERT_TRUE(copied.back().pts.has_value());
    const double last = Seconds(*copied.back().pts, outMedia.streams[outMedia.Video()].timeBase);
    EXPECT_NEAR(static_cast<double>(end) / 1e6, last, 0.0011);
}

INSTANTIATE_TEST_SUITE_P(IndexFirst, TruncatedDownload,
                         testing::Values(CutCase{"mp4_at_30_percent", FastStartMp4, 0.3, true},
                                         CutCase{"mp4_at_half", FastStartMp4, 0.5, true},
                                         CutCase{"mp4_at_97_percent", FastStartMp4, 0.97, true},
                                         CutCase{"mov_at_half", FastStartMov, 0.5, true},
                                         CutCase{"mkv_with_cues_first_at_half", CuesFirstMkv, 0.5,
                                                 false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The same files whole: nothing left out, no end to report.
TEST(TruncatedDownload, AWholeFileHasNoEnd) {
    for (const fs::path& whole : {FastStartMp4(), FastStartMov(), CuesFirstMkv()}) {
        SCOPED_TRACE(whole.filename().string());
        TempDir dir;
        const fs::path output = dir / ("out" + whole.extension().string());
        CAVConverter engine;
        StartJob(engine, {{whole, output, 4.0}});
        engine.Join();
        EXPECT_EQ(engine.m_status[0].load(), kStatusSucceeded);
        EXPECT_EQ(ReadInputResult(engine, 0).leftOut, 0);
        EXPECT_EQ(ReadInputResult(engine, 0).fileEnd, AV_NOPTS_VALUE);
        ExpectSameVideo(Media(whole), Media(output));
    }
}

// An AVI has its index at the end, so a cut AVI has none; its last chunk,
// cut in two, comes out of the demuxer as a piece of a picture. That piece
// is not copied, and is what the file is missing.
TEST(TruncatedDownload, AnAviCutInsideAPictureKeepsTheWholePictures) {
    const fs::path whole = Make("cut_plain.avi", kFourSeconds + "-c:v mpeg4 -c:a pcm_s16le");
    const auto all = VideoOf(Media(whole));
    // A picture near the middle, cut after half its bytes; ffprobe gives
    // where its data starts.
    const size_t victim = all.size() / 2;
    const auto positions = testmedia::Run(
        "ffprobe -v error -select_streams v -show_entries packet=pos,size -of csv=p=0 " +
        testmedia::Quote(whole.string()));
    std::istringstream lines(positions);
    std::string line;
    for (size_t i = 0; i <= victim; ++i) std::getline(lines, line);
    const size_t comma = line.find(',');
    const std::uintmax_t size = std::stoull(line.substr(0, comma));
    const std::uintmax_t pos = std::stoull(line.substr(comma + 1));

    TempDir dir;
    const fs::path cut = dir / "cut.avi";
    fs::copy_file(whole, cut);
    fs::resize_file(cut, pos + size / 2);
    CAVConverter engine;
    StartJob(engine, {{cut, dir / "out.avi", 4.0}});
    engine.Join();
    ASSERT_EQ(engine.m_status[0].load(), kStatusSucceeded) << ReadInputResult(engine, 0).error;

    const auto copied = VideoOf(Media(dir / "out.avi"));
    ASSERT_EQ(copied.size(), victim);
    for (size_t i = 0; i < copied.size(); ++i)
        EXPECT_EQ(copied[i].hash, all[i].hash) << "packet " << i;
    EXPECT_EQ(ReadInputResult(engine, 0).videoPackets, static_cast<std::int64_t>(victim) + 1);
    EXPECT_EQ(ReadInputResult(engine, 0).leftOut, 1);
    EXPECT_NE(ReadInputResult(engine, 0).fileEnd, AV_NOPTS_VALUE);
}

// Cut before its first whole picture, the file has nothing to copy: it
// fails, and leaves no file behind; the next input is copied as usual.
TEST(TruncatedDownload, CutBeforeTheFirstPictureFailsThatInput) {
    const fs::path whole = FastStartMp4();
    const auto first =
        testmedia::Run("ffprobe -v error -select_streams v -show_entries packet=pos -of csv=p=0 " +
                       testmedia::Quote(whole.string()));
    TempDir dir;
    const fs::path cut = dir / "cut.mp4";
    fs::copy_file(whole, cut);
    fs::resize_file(cut, std::stoull(first) + 16);
    const std::string before = ReadBytes(cut);

    const JobOutcome job =
        RunJobWithin({{cut, dir / "out.mp4", 4.0}, {SmallVideo("mp4"), dir / "next.mp4"}}, 60s);
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusSucceeded}));
    EXPECT_EQ(job.errors[0], velmora::kErrorInputTruncated);
    EXPECT_EQ(job.result, -1);
    EXPECT_EQ(ReadBytes(cut), before);
    EXPECT_FALSE(fs::exists(dir / "out.mp4"));
}

}  // namespace
}  // namespace faults
