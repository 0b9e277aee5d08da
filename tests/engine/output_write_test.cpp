// Outputs larger than the output's write buffer, in containers whose header
// is finished at the end by going back to its start (MP4 and MOV: the size
// of the media box; Matroska: the segment's size, its index and duration).
// A write that lands in the wrong place after such a seek leaves a file
// whose packets may still read well; the boxes and what ffprobe warns about
// show it.

#include <gtest/gtest.h>

#include <cstdint>

#include "engine_test_support.h"

namespace enginetest {
namespace {

using testmedia::Quote;

// What ffprobe warns about while reading every packet of `file`; empty for
// a sound file.
std::string ProbeWarnings(const fs::path& file) {
    return testmedia::Run("ffprobe -v warning -show_packets " + Quote(file.string()) +
                          " 2>&1 >/dev/null");
}

std::uint64_t BigEndian(const std::string& bytes, size_t at, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

struct Box {
    std::string type;
    std::uint64_t size = 0;
};

// The top-level boxes of an MP4/MOV file, in file order. A box whose size
// runs past the end of the file or is too small ends the list with a box of
// type "bad".
std::vector<Box> TopLevelBoxes(const std::string& bytes) {
    std::vector<Box> boxes;
    size_t at = 0;
    while (at + 8 <= bytes.size()) {
        Box box{bytes.substr(at + 4, 4), BigEndian(bytes, at, 4)};
        size_t header = 8;
        if (box.size == 1 && at + 16 <= bytes.size()) {
            box.size = BigEndian(bytes, at + 8, 8);
            header = 16;
        } else if (box.size == 0) {
            box.size = bytes.size() - at;
        }
        if (box.size < header || box.size > bytes.size() - at) {
            boxes.push_back({"bad", box.size});
            return boxes;
        }
        boxes.push_back(box);
        at += box.size;
    }
    if (at != bytes.size()) boxes.push_back({"bad", bytes.size() - at});
    return boxes;
}

class SeekBackContainer : public testing::TestWithParam<const char*> {};

TEST_P(SeekBackContainer, HeaderFinishedAfterManyWrites) {
    const std::string ext = GetParam();
    // About 2.7 MB: many times what the output buffers at once.
    const fs::path in = testmedia::Make(
        "noisy." + ext,
        "-f lavfi -i testsrc=duration=10:size=160x120:rate=25 -f lavfi -i sine=duration=10 "
        "-vf noise=alls=60:allf=t+u -pix_fmt yuv420p -c:v libx264 -preset ultrafast -g 25 "
        "-c:a aac");
    testmedia::TempDir dir;
    const fs::path out = dir / ("noisy." + ext);
    CopyOk(in, out);

    EXPECT_EQ(ProbeWarnings(out), "");
    ExpectSameVideo(Media(in), Media(out));
    const double duration = std::stod(testmedia::Run(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(out.string())));
    EXPECT_NEAR(duration, 10.0, 0.2);

    if (ext == "mkv") return;
    const std::string bytes = testmedia::ReadAll(out);
    const std::vector<Box> boxes = TopLevelBoxes(bytes);
    int moov = 0, mdat = 0;
    std::uint64_t mdatSize = 0;
    for (const Box& box : boxes) {
        EXPECT_NE(box.type, "bad") << "a box runs past the end of " << out;
        moov += box.type == "moov";
        if (box.type == "mdat") {
            ++mdat;
            mdatSize = box.size;
        }
    }
    EXPECT_EQ(moov, 1);
    EXPECT_EQ(mdat, 1);
    // The media box holds the video: nearly the whole file.
    EXPECT_GT(mdatSize, bytes.size() * 9 / 10);
}

INSTANTIATE_TEST_SUITE_P(Outputs, SeekBackContainer, testing::Values("mp4", "mov", "mkv"));

}  // namespace
}  // namespace enginetest
