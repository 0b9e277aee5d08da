// What velmora-cli writes, packet by packet, for every container the suite
// makes: each packet's pts, dts, duration, flags, size and payload hash, and
// the size of the whole output file. Each input is copied twice: alone,
// and after another file (see CopyWithCli).
//
// Two checks per container. Against the ffmpeg program copying the same
// video: the same payloads, sizes and key flags, and times that differ only
// by one constant (velmora-cli starts the copy at zero, ffmpeg keeps the
// input's start). Against the list recorded from an earlier build: every
// value the same, so that any change to what is written fails here, the
// container's header included (through the file size). The recorded lists
// hold for the FFmpeg libraries they were recorded with; with other
// libraries only the first check runs. VELMORA_RECORD_PACKET_LISTS=1
// writes the lists anew (after a change that is meant to alter outputs).

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

using testmedia::Quote;

const std::string kPicture = "-f lavfi -i testsrc=duration=2:size=160x120:rate=25";
const std::string kSound = "-f lavfi -i sine=duration=2:sample_rate=44100";
// x265 on one thread: its output then never depends on the machine.
const std::string kHevc = "-c:v libx265 -x265-params log-level=error:pools=none:frame-threads=1";

struct ContainerCase {
    const char* name;  // file name of the input, and of the output
    std::string args;  // ffmpeg options that make the input
};

std::ostream& operator<<(std::ostream& os, const ContainerCase& c) { return os << c.name; }

const std::string kAv = kPicture + " " + kSound + " -pix_fmt yuv420p ";

const ContainerCase kCases[] = {
    {"pl_h264.mp4", kAv + "-c:v libx264 -c:a aac"},
    {"pl_h264.mov", kAv + "-c:v libx264 -c:a aac"},
    {"pl_h264.mkv", kAv + "-c:v libx264 -c:a aac"},
    {"pl_hevc.mkv", kAv + kHevc + " -c:a aac"},
    {"pl_h264.avi", kAv + "-c:v libx264 -c:a libmp3lame"},
    {"pl_h264.flv", kAv + "-c:v libx264 -c:a aac"},
    {"pl_h264.ts", kAv + "-c:v libx264 -c:a aac"},
    {"pl_hevc.ts", kAv + kHevc + " -c:a aac"},
    {"pl_mpeg2.ts", kAv + "-c:v mpeg2video -bf 2 -c:a mp2"},
    {"pl_mpeg2.mpg", kAv + "-c:v mpeg2video -bf 2 -c:a mp2"},
    {"pl_mpeg2.vob", kAv + "-c:v mpeg2video -c:a mp2"},
    {"pl_mpeg4.m4v", kPicture + " -c:v mpeg4 -bf 2"},
    {"pl_wmv2.wmv", kAv + "-c:v wmv2 -c:a wmav2"},
    {"pl_msmpeg4.asf", kAv + "-c:v msmpeg4 -c:a wmav2"},
    {"pl_vp8.webm", kAv + "-c:v libvpx -c:a libopus"},
};

struct PacketRow {
    std::string pts, dts, duration, flags, size, hash;
};

std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    std::string cell;
    while (std::getline(in, cell, ',')) {
        const size_t first = cell.find_first_not_of(' ');
        cells.push_back(first == std::string::npos ? "" : cell.substr(first));
    }
    return cells;
}

// The video packets of `file` as ffprobe reads them, each with the MD5 of
// its payload from ffmpeg's framemd5 of a copy of the video.
std::vector<PacketRow> VideoPackets(const fs::path& file) {
    int status = 0;
    const std::string probe = testmedia::Run(
        "ffprobe -v error -select_streams v -show_entries "
        "packet=pts,dts,duration,flags,size -of csv=p=0 " +
            Quote(file.string()),
        &status);
    if (status != 0) throw std::runtime_error("ffprobe failed on " + file.string());
    const std::string md5 = testmedia::Run(
        "ffmpeg -nostdin -v error -i " + Quote(file.string()) + " -map 0:v -c copy -f framemd5 -",
        &status);
    if (status != 0) throw std::runtime_error("ffmpeg framemd5 failed on " + file.string());

    std::vector<PacketRow> rows;
    for (const std::string& line : clitest::Lines(probe)) {
        // pts,dts,duration,size,flags in ffprobe's own order of the fields
        const auto cells = SplitCsv(line);
        if (cells.size() < 5) continue;
        rows.push_back({cells[0], cells[1], cells[2], cells[4], cells[3], ""});
    }
    size_t i = 0;
    for (const std::string& line : clitest::Lines(md5)) {
        if (line.empty() || line[0] == '#') continue;
        // stream, dts, pts, duration, size, hash
        const auto cells = SplitCsv(line);
        if (cells.size() < 6) continue;
        if (i < rows.size()) {
            EXPECT_EQ(cells[4], rows[i].size) << "packet " << i << " of " << file;
            rows[i].hash = cells[5];
        }
        ++i;
    }
    EXPECT_EQ(i, rows.size()) << "framemd5 and ffprobe disagree on " << file;
    return rows;
}

std::string LibavformatVersion() {
    for (const std::string& line : clitest::Lines(testmedia::Run("ffprobe -version")))
        if (line.rfind("libavformat", 0) == 0) return line;
    return "";
}

// The recorded form: the libraries, the file size, one line per packet.
std::string Describe(const std::string& libraries, std::uintmax_t bytes,
                     const std::vector<PacketRow>& rows) {
    std::string text = libraries + "\nbytes " + std::to_string(bytes) + "\n";
    for (const auto& r : rows)
        text += r.pts + " " + r.dts + " " + r.duration + " " + r.flags + " " + r.size + " " +
                r.hash + "\n";
    return text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

double Seconds(const std::string& ts, const std::string& timeBase) {
    const size_t slash = timeBase.find('/');
    return std::stod(ts) * std::stod(timeBase.substr(0, slash)) /
           std::stod(timeBase.substr(slash + 1));
}

std::string VideoTimeBase(const fs::path& file) {
    for (const auto& s : testmedia::Streams(file))
        if (s.codecType == "video") return s.timeBase;
    return "";
}

// Copies `input` with velmora-cli into `folder`, after `before` when given:
// alone, the file is copied from what its probe opened and analysed; after
// another file, the job opens and analyses it again. Both must write the
// same.
fs::path CopyWithCli(const fs::path& input, const fs::path& folder, const fs::path& before) {
    fs::create_directories(folder);
    std::vector<std::string> args = {"-q", "-o", folder.string()};
    if (!before.empty()) args.push_back(before.string());
    args.push_back(input.string());
    const auto result = clitest::Run(args, folder);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return folder / input.filename();
}

class PacketList : public testing::TestWithParam<ContainerCase> {};

TEST_P(PacketList, IsWhatFfmpegCopiesAndWhatWasRecorded) {
    const ContainerCase& c = GetParam();
    const fs::path input = testmedia::Make(c.name, c.args);
    testmedia::TempDir dir;
    const fs::path reference = dir / "ffmpeg" / c.name;
    fs::create_directories(reference.parent_path());
    int status = 0;
    const std::string copied =
        testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(input.string()) +
                           " -map 0:v -c copy " + Quote(reference.string()) + " 2>&1",
                       &status);
    ASSERT_EQ(status, 0) << copied;
    const auto theirs = VideoPackets(reference);
    const std::string theirBase = VideoTimeBase(reference);

    const fs::path alone = CopyWithCli(input, dir / "alone", {});
    const fs::path second = CopyWithCli(input, dir / "second", clitest::Clip("mp4"));
    std::vector<std::string> described;
    for (const fs::path& output : {alone, second}) {
        SCOPED_TRACE(output.string());
        ASSERT_TRUE(fs::exists(output));
        const auto ours = VideoPackets(output);
        ASSERT_FALSE(ours.empty());
        ASSERT_EQ(ours.size(), theirs.size());
        const std::string ourBase = VideoTimeBase(output);
        std::optional<double> shift;
        for (size_t i = 0; i < ours.size(); ++i) {
            SCOPED_TRACE("packet " + std::to_string(i));
            EXPECT_EQ(ours[i].hash, theirs[i].hash);
            EXPECT_EQ(ours[i].size, theirs[i].size);
            EXPECT_EQ(ours[i].flags.substr(0, 1), theirs[i].flags.substr(0, 1));  // key or not
            EXPECT_EQ(ours[i].pts == "N/A", theirs[i].pts == "N/A");
            if (ours[i].pts == "N/A" || theirs[i].pts == "N/A") continue;
            const double d = Seconds(ours[i].pts, ourBase) - Seconds(theirs[i].pts, theirBase);
            if (!shift) shift = d;
            // Containers that count in milliseconds round each time alike.
            EXPECT_NEAR(d, *shift, 0.0011);
        }
        described.push_back(Describe(LibavformatVersion(), fs::file_size(output), ours));
    }
    EXPECT_EQ(described[0], described[1]) << "the two ways of opening the input wrote differently";

    const fs::path recorded = fs::path(VELMORA_PACKET_LISTS) / (std::string(c.name) + ".txt");
    if (const char* record = std::getenv("VELMORA_RECORD_PACKET_LISTS"); record && *record == '1') {
        fs::create_directories(recorded.parent_path());
        std::ofstream file(recorded, std::ios::binary);
        file << described[0];
        ASSERT_TRUE(file.flush()) << "could not write " << recorded;
        return;
    }
    const std::string expected = ReadText(recorded);
    ASSERT_FALSE(expected.empty()) << "no recorded packet list " << recorded;
    const auto expectedLines = clitest::Lines(expected);
    const auto describedLines = clitest::Lines(described[0]);
    if (expectedLines.front() != describedLines.front())
        GTEST_SKIP() << "recorded with " << expectedLines.front() << ", running with "
                     << describedLines.front();
    EXPECT_EQ(describedLines.size(), expectedLines.size());
    for (size_t i = 0; i < std::min(describedLines.size(), expectedLines.size()); ++i)
        EXPECT_EQ(describedLines[i], expectedLines[i])
            << "line " << i + 1 << " of " << recorded << " (" << alone << ")";
}

INSTANTIATE_TEST_SUITE_P(Containers, PacketList, testing::ValuesIn(kCases),
                         [](const auto& info) { return testmedia::TestNameOf(info.param.name); });

}  // namespace
