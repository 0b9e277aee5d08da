// Transport streams are copied without FFmpeg's video parser where every
// PES holds one whole frame, and through the parser otherwise. Either way
// the copy must be what the ffmpeg program copies (keeping the frames
// before the first key frame, as velmora-cli does): the same payloads, key
// flags and times up to one shift. The table makes the shapes recordings
// come in: B-frames, open GOPs, slices, interlacing, HEVC and MPEG-2, a
// start in the middle of a GOP, damaged middles, joined recordings, and two
// frames in one PES, and says which way each must go (velmora-cli -v logs
// it).

#include <gtest/gtest.h>

#include <fstream>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

using testmedia::Quote;

const std::string kAv =
    "-f lavfi -i testsrc2=duration=3:size=192x108:rate=25 -f lavfi -i sine=duration=3 "
    "-pix_fmt yuv420p ";
const std::string kHevc = "-c:v libx265 -x265-params log-level=error:pools=none:frame-threads=1";

std::vector<char> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::vector<char>& bytes) {
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// How an input is made from one or two files the ffmpeg program wrote.
enum class Shape { kAsMade, kJoined, kStartMidGop, kZeroedMiddle, kTwoFramesPerPes };

constexpr size_t kTs = 188;

// Turns every second PES of the first video PID (0x100 in ffmpeg's files)
// into a continuation of the one before: its start flag is cleared and its
// PES header becomes adaptation-field stuffing, so one PES holds two frames.
std::vector<char> TwoFramesPerPes(std::vector<char> ts) {
    int starts = 0;
    for (size_t at = 0; at + kTs <= ts.size(); at += kTs) {
        auto* p = reinterpret_cast<unsigned char*>(&ts[at]);
        const int pid = ((p[1] & 0x1F) << 8) | p[2];
        if (pid != 0x100 || !(p[1] & 0x40)) continue;
        if (++starts % 2 == 1) continue;
        const int control = (p[3] >> 4) & 3;
        const size_t field = control == 3 ? 1 + p[4] : 0;  // adaptation field with its length byte
        const size_t payload = 4 + field;
        const size_t header = 9 + p[payload + 8];
        if (payload + header > kTs) continue;
        std::vector<unsigned char> rest(p + payload + header, p + kTs);
        const size_t newField = field + header;
        p[1] &= ~0x40;
        p[3] = static_cast<unsigned char>((p[3] & 0xCF) | 0x30);
        if (field == 0) {
            p[4] = static_cast<unsigned char>(newField - 1);
            p[5] = 0;  // no adaptation flags
            std::fill(p + 6, p + 4 + newField, 0xFF);
        } else {
            p[4] = static_cast<unsigned char>(newField - 1);
            std::fill(p + 4 + field, p + 4 + newField, 0xFF);
        }
        std::copy(rest.begin(), rest.end(), p + 4 + newField);
    }
    return ts;
}

struct TsCase {
    const char* name;
    std::string args;  // ffmpeg options that make the input
    Shape shape = Shape::kAsMade;
    std::string otherArgs;  // kJoined: the second recording
    bool withoutParser;     // the copy goes without the parser to its end
};

std::ostream& operator<<(std::ostream& os, const TsCase& c) { return os << c.name; }

const TsCase kCases[] = {
    {"h264_b_frames", kAv + "-c:v libx264 -bf 3 -g 50 -c:a aac", Shape::kAsMade, "", true},
    {"h264_open_gop", kAv + "-c:v libx264 -bf 2 -x264-params open-gop=1:keyint=30 -c:a aac",
     Shape::kAsMade, "", true},
    {"h264_slices", kAv + "-c:v libx264 -slices 4 -c:a aac", Shape::kAsMade, "", true},
    {"h264_interlaced", kAv + "-c:v libx264 -flags +ildct+ilme -c:a aac", Shape::kAsMade, "", true},
    {"h264_mid_gop", kAv + "-c:v libx264 -g 50 -c:a aac", Shape::kStartMidGop, "", true},
    {"h264_zeroed_middle", kAv + "-c:v libx264 -c:a aac", Shape::kZeroedMiddle, "", true},
    {"hevc_b_frames", kAv + kHevc + " -c:a aac", Shape::kAsMade, "", true},
    {"mpeg2_b_frames", kAv + "-c:v mpeg2video -bf 2 -c:a mp2", Shape::kAsMade, "", true},
    {"mpeg2_interlaced", kAv + "-c:v mpeg2video -flags +ildct+ilme -top 1 -c:a mp2", Shape::kAsMade,
     "", true},
    {"mpeg2_joined", kAv + "-c:v mpeg2video -bf 2 -c:a mp2", Shape::kJoined,
     kAv + "-c:v mpeg2video -bf 2 -c:a mp2", true},
    // After B-frames, a frame whose two times are equal is one the parser's
    // path may give other times: the copy is made through the parser.
    {"h264_joined_b_then_no_b", kAv + "-c:v libx264 -bf 2 -c:a aac", Shape::kJoined,
     kAv + "-c:v libx264 -bf 0 -c:a aac", false},
    {"h264_two_frames_per_pes", kAv + "-c:v libx264 -bf 0 -c:a aac", Shape::kTwoFramesPerPes, "",
     false},
    {"hevc_two_frames_per_pes", kAv + kHevc + " -c:a aac", Shape::kTwoFramesPerPes, "", false},
    {"mpeg2_two_frames_per_pes", kAv + "-c:v mpeg2video -bf 0 -c:a mp2", Shape::kTwoFramesPerPes,
     "", false},
};

fs::path MakeInput(const TsCase& c, const fs::path& dir) {
    const fs::path made = testmedia::Make(std::string("shape_") + c.name + ".ts", c.args);
    std::vector<char> bytes = ReadBytes(made);
    const size_t packets = bytes.size() / kTs;
    switch (c.shape) {
        case Shape::kAsMade:
            break;
        case Shape::kJoined: {
            const fs::path other =
                testmedia::Make(std::string("shape_") + c.name + "_second.ts", c.otherArgs);
            const std::vector<char> more = ReadBytes(other);
            bytes.insert(bytes.end(), more.begin(), more.end());
            break;
        }
        case Shape::kStartMidGop:
            bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(packets * 2 / 5 * kTs));
            break;
        case Shape::kZeroedMiddle:
            std::fill(bytes.begin() + std::ptrdiff_t(packets / 2 * kTs),
                      bytes.begin() + std::ptrdiff_t((packets / 2 + 20) * kTs), 0);
            break;
        case Shape::kTwoFramesPerPes:
            bytes = TwoFramesPerPes(std::move(bytes));
            break;
    }
    const fs::path input = dir / (std::string(c.name) + ".ts");
    WriteBytes(input, bytes);
    return input;
}

class TsShapes : public testing::TestWithParam<TsCase> {};

TEST_P(TsShapes, CopyIsWhatFfmpegCopies) {
    const TsCase& c = GetParam();
    testmedia::TempDir dir;
    const fs::path input = MakeInput(c, dir.path());
    const fs::path reference = dir / "ffmpeg.ts";
    int status = 0;
    const std::string copied =
        testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(input.string()) +
                           " -map 0:v -c copy -copyinkf " + Quote(reference.string()) + " 2>&1",
                       &status);
    ASSERT_EQ(status, 0) << copied;

    fs::create_directories(dir / "out");
    const auto result =
        clitest::Run({"-v", "-o", (dir / "out").string(), input.string()}, dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const bool unparsed = result.err.find("read without the parser") != std::string::npos;
    const bool again = result.err.find("copying again through the parser") != std::string::npos;
    EXPECT_EQ(unparsed, c.withoutParser) << result.err;
    EXPECT_EQ(again, !c.withoutParser) << result.err;

    const auto ours = testmedia::Packets(dir / "out" / input.filename());
    const auto theirs = testmedia::Packets(reference);
    ASSERT_FALSE(ours.empty());
    ASSERT_EQ(ours.size(), theirs.size());
    std::optional<std::int64_t> shift;
    for (size_t i = 0; i < ours.size(); ++i) {
        SCOPED_TRACE("packet " + std::to_string(i));
        EXPECT_EQ(ours[i].hash, theirs[i].hash);
        EXPECT_EQ(ours[i].key, theirs[i].key);
        ASSERT_EQ(ours[i].pts.has_value(), theirs[i].pts.has_value());
        ASSERT_EQ(ours[i].dts.has_value(), theirs[i].dts.has_value());
        // A joined recording's second time line is moved on to follow the
        // first in the copy; ffmpeg keeps both as they are. A frame that
        // shares its PES has no times of its own, and each program gives
        // it times its own way.
        if (!ours[i].pts || c.shape == Shape::kJoined || c.shape == Shape::kTwoFramesPerPes)
            continue;
        if (!shift) shift = *theirs[i].pts - *ours[i].pts;
        EXPECT_EQ(*ours[i].pts + *shift, *theirs[i].pts);
        if (ours[i].dts) {
            EXPECT_EQ(*ours[i].dts + *shift, *theirs[i].dts);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, TsShapes, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
