// A job that copies the file its engine probed last takes the probe's open
// input instead of opening and analysing the file again: the copy is the
// one a fresh job writes, and a file that changed after its probe is read
// anew, never from what the probe had buffered.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "engine/input_result.h"
#include "engine_test_support.h"

namespace enginetest {
namespace {

using testmedia::Make;

int ProbeKeeping(CAVConverter& engine, const fs::path& file) {
    engine.m_bKeepProbedInput = true;
    engine.m_pszProbeFile = file.string();
    return engine.Probe();
}

void CopyAfterProbe(CAVConverter& engine, const fs::path& input, const fs::path& output) {
    StartJob(engine, {{input, output}});
    engine.Join();
    ASSERT_EQ(engine.m_status[0].load(), kStatusSucceeded)
        << input << " error " << ReadInputResult(engine, 0).error;
}

// Everything ffprobe tells of the packets, and the file's size: equal for
// two copies that wrote the same.
void ExpectSameCopy(const fs::path& a, const fs::path& b) {
    const auto pa = testmedia::Packets(a);
    const auto pb = testmedia::Packets(b);
    ASSERT_EQ(pa.size(), pb.size());
    for (size_t i = 0; i < pa.size(); ++i) {
        SCOPED_TRACE("packet " + std::to_string(i));
        EXPECT_EQ(pa[i].stream, pb[i].stream);
        EXPECT_EQ(pa[i].pts, pb[i].pts);
        EXPECT_EQ(pa[i].dts, pb[i].dts);
        EXPECT_EQ(pa[i].key, pb[i].key);
        EXPECT_EQ(pa[i].hash, pb[i].hash);
    }
    EXPECT_EQ(fs::file_size(a), fs::file_size(b));
}

class ProbedInputCopy : public testing::TestWithParam<const char*> {};

TEST_P(ProbedInputCopy, WritesWhatAFreshJobWrites) {
    const std::string ext = GetParam();
    const fs::path in = SmallVideo(ext);
    testmedia::TempDir dir;
    CopyOk(in, dir / ("fresh." + ext));

    CAVConverter engine;
    ASSERT_EQ(ProbeKeeping(engine, in), kProbeOk);
    CopyAfterProbe(engine, in, dir / ("probed." + ext));
    ExpectSameCopy(dir / ("fresh." + ext), dir / ("probed." + ext));

    // The probe's input served that job; the next job opens the file itself.
    CopyAfterProbe(engine, in, dir / ("again." + ext));
    ExpectSameCopy(dir / ("fresh." + ext), dir / ("again." + ext));
}

INSTANTIATE_TEST_SUITE_P(Containers, ProbedInputCopy,
                         testing::Values("mp4", "mkv", "avi", "ts", "flv"));

// The first video packet's position and size in an MP4, from ffprobe.
std::pair<std::uintmax_t, std::uintmax_t> FirstVideoPacket(const fs::path& file) {
    const std::string row = testmedia::Run(
        "ffprobe -v error -select_streams v -show_entries packet=pos,size -of csv=p=0 " +
        testmedia::Quote(file.string()) + " | head -n 1");
    const size_t comma = row.find(',');
    // ffprobe prints size before pos.
    return {std::stoull(row.substr(comma + 1)), std::stoull(row.substr(0, comma))};
}

void SetModified(const fs::path& file, const struct stat& before) {
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

struct ChangeCase {
    const char* name;
    // Changes `file` (probed already) so that its first video packet is
    // another one; `other` is a different video.
    void (*change)(const fs::path& file, const fs::path& other);
};

std::ostream& operator<<(std::ostream& os, const ChangeCase& c) { return os << c.name; }

class ChangedAfterProbe : public testing::TestWithParam<ChangeCase> {};

TEST_P(ChangedAfterProbe, IsReadAnew) {
    const ChangeCase& c = GetParam();
    testmedia::TempDir dir;
    const fs::path file = dir / "in.mp4";
    fs::copy_file(SmallVideo("mp4"), file);
    const fs::path other =
        Make("probed_other.mp4", "-f lavfi -i testsrc2=duration=2:size=160x120:rate=25 " + kSound +
                                     " -pix_fmt yuv420p -c:v libx264 -c:a aac");

    CAVConverter engine;
    ASSERT_EQ(ProbeKeeping(engine, file), kProbeOk);
    c.change(file, other);
    // The copy of the file as it is now, by a job that never saw the probe.
    CopyOk(file, dir / "fresh.mp4");
    CopyAfterProbe(engine, file, dir / "out.mp4");
    ExpectSameCopy(dir / "fresh.mp4", dir / "out.mp4");
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ChangedAfterProbe,
    testing::Values(
        // Another file renamed over it: a new file under the old name.
        ChangeCase{"replaced",
                   [](const fs::path& file, const fs::path& other) {
                       const fs::path next = file.string() + ".new";
                       fs::copy_file(other, next);
                       fs::rename(next, file);
                   }},
        // The same file written over, its modification time set back.
        ChangeCase{"rewritten_in_place",
                   [](const fs::path& file, const fs::path& other) {
                       struct stat before {};
                       ASSERT_EQ(stat(file.c_str(), &before), 0);
                       fs::copy_file(other, file, fs::copy_options::overwrite_existing);
                       SetModified(file, before);
                   }},
        // One byte of the first picture changed: same file, same size, its
        // modification time set back; only its status-change time tells.
        ChangeCase{"one_byte_same_size",
                   [](const fs::path& file, const fs::path&) {
                       struct stat before {};
                       ASSERT_EQ(stat(file.c_str(), &before), 0);
                       const auto [pos, size] = FirstVideoPacket(file);
                       std::fstream bytes(file, std::ios::in | std::ios::out | std::ios::binary);
                       bytes.seekg(static_cast<std::streamoff>(pos + size - 1));
                       const char old = static_cast<char>(bytes.get());
                       bytes.seekp(static_cast<std::streamoff>(pos + size - 1));
                       bytes.put(static_cast<char>(old ^ 0x5a));
                       bytes.close();
                       SetModified(file, before);
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace enginetest
