// Jobs of several inputs: statuses, the two kinds of failure, stopping, and
// outputs that cannot be written.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fstream>
#include <thread>

#include "engine/engine_errors.h"
#include "engine/input_result.h"
#include "engine_test_support.h"
#include "named_pipe.h"

extern "C" {
#include <libavutil/error.h>
}

namespace enginetest {
namespace {

using testmedia::TempDir;

void WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// ---- An input that cannot be read fails alone ----------------------------

struct UnreadableCase {
    const char* name;
    std::function<void(const fs::path&)> make;  // writes the bad input
};

std::ostream& operator<<(std::ostream& os, const UnreadableCase& c) { return os << c.name; }

class UnreadableSecondInput : public testing::TestWithParam<UnreadableCase> {};

// The job copies the first input, fails on the second, leaves nothing of it
// behind, and goes on with the third.
TEST_P(UnreadableSecondInput, FailsThatInputAndTheJobGoesOn) {
    TempDir dir;
    const fs::path bad = dir / "bad.mp4";
    GetParam().make(bad);
    const JobOutcome job = RunJob({{SmallVideo("mp4"), dir / "out0.mp4"},
                                   {bad, dir / "out1.mp4"},
                                   {SmallVideo("mkv"), dir / "out2.mkv"}});
    EXPECT_EQ(job.statuses, (std::vector<int>{1, 2, 1}));
    EXPECT_LT(job.errors[1], 0);
    EXPECT_EQ(job.current, 3);
    EXPECT_EQ(job.result, -1);
    ExpectSameVideo(Media(SmallVideo("mp4")), Media(dir / "out0.mp4"));
    EXPECT_FALSE(fs::exists(dir / "out1.mp4"));
    ExpectSameVideo(Media(SmallVideo("mkv")), Media(dir / "out2.mkv"));
    for (const std::string& name : testmedia::FilesIn(dir.path()))
        EXPECT_EQ(name.find(".velmora-"), std::string::npos) << "left behind: " << name;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, UnreadableSecondInput,
    testing::Values(UnreadableCase{"missing", [](const fs::path&) {}},
                    UnreadableCase{"empty", [](const fs::path& f) { WriteFile(f, ""); }},
                    UnreadableCase{"random_bytes",
                                   [](const fs::path& f) {
                                       std::string bytes(4096, '\0');
                                       unsigned x = 12345;
                                       for (char& c : bytes)
                                           c = static_cast<char>((x = x * 1103515245u + 12345u) >>
                                                                 24);
                                       WriteFile(f, bytes);
                                   }},
                    // The index of an MP4 comes last; without it nothing can be read.
                    UnreadableCase{"truncated",
                                   [](const fs::path& f) {
                                       fs::copy_file(SmallVideo("mp4"), f);
                                       fs::resize_file(f, fs::file_size(f) / 2);
                                   }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Inputs that fail alone ---------------------------------------------

// FFmpeg's RealMedia writer would not keep the video: that input fails
// before anything is written, and the job goes on with the next one.
TEST(Job, UnwritableContainerFailsOnlyThatInput) {
    TempDir dir;
    fs::create_directory(dir / "out");
    const JobOutcome job = RunJob(
        {{RealMedia(), dir / "out" / "clip.rm"}, {SmallVideo("mkv"), dir / "out" / "av.mkv"}});
    EXPECT_EQ(job.statuses, (std::vector<int>{2, 1}));
    EXPECT_EQ(job.errors[0], velmora::kErrorWriterChangesVideo);
    EXPECT_EQ(job.current, 2);
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(dir / "out" / "clip.rm"));
    ExpectSameVideo(Media(SmallVideo("mkv")), Media(dir / "out" / "av.mkv"));
}

// A file without video gives no copy of a video: it fails, the next goes on.
TEST(Job, InputWithoutVideoFails) {
    const fs::path sound = testmedia::Make("sound.mka", kSound + " -c:a aac");
    TempDir dir;
    const JobOutcome job = RunJob({{sound, dir / "sound.mka"}, {SmallVideo("ts"), dir / "av.ts"}});
    EXPECT_EQ(job.statuses, (std::vector<int>{2, 1}));
    EXPECT_EQ(job.current, 2);
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(dir / "sound.mka"));
}

// Names with spaces and characters beyond ASCII reach FFmpeg intact.
TEST(Job, NamesWithSpacesAndNonAsciiCharacters) {
    TempDir dir;
    const fs::path in = dir / "Vidéo d’été – 测试 1.mp4";
    fs::copy_file(SmallVideo("mp4"), in);
    const fs::path out = dir / "sans son" / "Vidéo d’été – 测试 1(0).mp4";
    fs::create_directory(out.parent_path());
    CopyOk(in, out);
    ExpectSameVideo(Media(in), Media(out));
}

// ---- Outputs that cannot be written -------------------------------------

struct FullDiskCase {
    const char* name;
    std::function<fs::path()> input;
    const char* ext;
};

std::ostream& operator<<(std::ostream& os, const FullDiskCase& c) { return os << c.name; }

class FullDisk : public testing::TestWithParam<FullDiskCase> {};

// A link to /dev/full (where every write fails with ENOSPC, like a full
// disk) under the output name is never written through: the output is made
// new beside it, under the next free name, whatever the container, and the
// next input is copied too.
TEST_P(FullDisk, LinkUnderTheOutputNameIsLeftAlone) {
    const FullDiskCase& c = GetParam();
    TempDir dir;
    const fs::path out = dir / (std::string("full.") + c.ext);
    fs::create_symlink("/dev/full", out);
    const JobOutcome job = RunJob({{c.input(), out}, {SmallVideo("mkv"), dir / "next.mkv"}});
    EXPECT_EQ(job.statuses, (std::vector<int>{1, 1}));
    EXPECT_EQ(job.result, 0);
    EXPECT_TRUE(fs::is_symlink(out));
    ExpectSameVideo(Media(c.input()), Media(dir / (std::string("full(0).") + c.ext)));
    ExpectSameVideo(Media(SmallVideo("mkv")), Media(dir / "next.mkv"));
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, FullDisk,
    testing::Values(FullDiskCase{"mp4_header", [] { return SmallVideo("mp4"); }, "mp4"},
                    FullDiskCase{"ts_packets", [] { return NoisyTransportStream(); }, "ts"},
                    FullDiskCase{"mkv_trailer", [] { return SmallVideo("mkv"); }, "mkv"}),
    [](const auto& info) { return std::string(info.param.name); });

// The output folder was removed after the job was planned: that input
// fails, the next one, whose folder is there, is copied.
TEST(Job, MissingOutputFolderFailsThatInput) {
    TempDir dir;
    const JobOutcome job =
        RunJob({{SmallVideo("mp4"), dir / "gone" / "a.mp4"}, {SmallVideo("mkv"), dir / "b.mkv"}});
    EXPECT_EQ(job.statuses, (std::vector<int>{2, 1}));
    EXPECT_EQ(job.errors[0], AVERROR(ENOENT));
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(dir / "gone"));
}

// ---- Progress -----------------------------------------------------------

struct ProgressCase {
    const char* name;
    double end;
    int low, high;  // what the last progress may be
};

std::ostream& operator<<(std::ostream& os, const ProgressCase& c) { return os << c.name; }

class Progress : public testing::TestWithParam<ProgressCase> {};

// Without an end point there is no percentage; the file is copied anyway.
TEST_P(Progress, FollowsTheEndPoint) {
    const ProgressCase& c = GetParam();
    TempDir dir;
    const JobOutcome job = RunJob({{SmallVideo("mp4"), dir / "a.mp4", c.end}});
    EXPECT_EQ(job.statuses, std::vector<int>{1});
    EXPECT_GE(job.progress, c.low);
    EXPECT_LE(job.progress, c.high);
}

INSTANTIATE_TEST_SUITE_P(EndPoints, Progress,
                         testing::Values(ProgressCase{"known", 2.0, 90, 99},
                                         ProgressCase{"shorter_than_the_file", 1.0, 100, 100},
                                         ProgressCase{"zero", 0.0, -1, -1},
                                         ProgressCase{"unknown", std::nan(""), -1, -1},
                                         ProgressCase{"negative", -5.0, -1, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Stopping -----------------------------------------------------------

// The input is fed through a pipe: the first part, then, once the stop has
// been raised, the rest. So the stop lands in the middle of the file on any
// machine, however fast or slow.
TEST(Stop, MidFileLeavesAValidShortenedOutput) {
    const fs::path source = NoisyTransportStream();
    const std::string bytes = testmedia::ReadAll(source);

    TempDir dir;
    testmedia::FedPipe pipe(dir / "pipe.ts", bytes, bytes.size() * 2 / 5);
    ASSERT_TRUE(pipe.ok());
    const JobOutcome job =
        RunJob({{pipe.path(), dir / "cut.ts", 10.0}, {SmallVideo("mp4"), dir / "next.mp4"}},
               [&](CAVConverter& engine) {
                   // 40 % of the bytes hold about 4 s; wait until copying is well
                   // under way, then stop.
                   const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
                   while (engine.m_nProgress < 20 && std::chrono::steady_clock::now() < limit)
                       std::this_thread::sleep_for(std::chrono::milliseconds(5));
                   engine.m_bStop = true;
                   pipe.Resume();
               });

    EXPECT_EQ(job.statuses, (std::vector<int>{-1, -1}));
    EXPECT_EQ(job.current, 1);
    EXPECT_EQ(job.result, 0);
    EXPECT_FALSE(fs::exists(dir / "next.mp4"));

    // A valid file holding the first packets of the source and no others.
    const Media in(source), out(dir / "cut.ts");
    const auto all = in.PacketsOf(in.Video());
    const auto kept = out.PacketsOf(out.Video());
    EXPECT_GT(kept.size(), all.size() / 5);
    EXPECT_LT(kept.size(), all.size() * 3 / 4);
    for (size_t i = 0; i < kept.size() && i < all.size(); ++i)
        ASSERT_EQ(kept[i].hash, all[i].hash) << "packet " << i;
}

// A stop that arrives while the input is still being opened ends the job
// before any output file is made: a header written from half-read stream
// facts could leave a broken file.
TEST(Stop, WhileOpeningMakesNoOutput) {
    std::ifstream file(NoisyTransportStream(), std::ios::binary);
    std::string start(16 * 188, '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));

    TempDir dir;
    const fs::path pipe = dir / "pipe.ts";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Opened for reading too, so neither side waits for the other to open.
    const int fd = open(pipe.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, start.data(), start.size()), static_cast<ssize_t>(start.size()));

    const JobOutcome job = RunJob({{pipe, dir / "a.ts", 10.0}, {SmallVideo("mp4"), dir / "b.mp4"}},
                                  [&](CAVConverter& engine) {
                                      // Give the worker time to block in the pipe; the outcome is
                                      // the same if it has not got that far.
                                      std::this_thread::sleep_for(std::chrono::milliseconds(300));
                                      engine.m_bStop = true;
                                      close(fd);  // the worker's read ends
                                  });
    EXPECT_EQ(job.statuses, (std::vector<int>{-1, -1}));
    EXPECT_EQ(job.result, 0);
    EXPECT_FALSE(fs::exists(dir / "a.ts"));
    EXPECT_FALSE(fs::exists(dir / "b.mp4"));
}

// Releasing the engine stops a running job and waits for it: no thread is
// left using a released engine, and what was written is a readable file.
TEST(Stop, ReleasingTheEngineEndsTheWorker) {
    TempDir dir;
    auto engine = std::make_unique<CAVConverter>();
    StartJob(*engine, {{NoisyTransportStream(), dir / "a.ts", 10.0},
                       {SmallVideo("mp4"), dir / "b.mp4", 2.0}});
    engine.reset();
    if (fs::exists(dir / "a.ts")) {
        EXPECT_NO_THROW({ Media written(dir / "a.ts"); });
    }
}

// A stopped job leaves the stop request raised until the next job clears it;
// the next job then runs normally on the same engine.
TEST(Stop, NextJobRunsAfterAStop) {
    TempDir dir;
    CAVConverter engine;
    engine.AllocNames(1);
    engine.m_ppszInputs[0] = SmallVideo("mp4").string();
    engine.m_ppszOutputs[0] = (dir / "a.mp4").string();
    engine.m_dEnd[0] = 2.0;
    engine.m_bStop = true;
    engine.Start();
    engine.Join();
    EXPECT_EQ(engine.m_status[0], -1);
    EXPECT_FALSE(fs::exists(dir / "a.mp4"));

    StartJob(engine, {{SmallVideo("mp4"), dir / "a.mp4", 2.0}});
    engine.Join();
    EXPECT_EQ(engine.m_status[0], 1);
    EXPECT_EQ(engine.m_nCurrent, 1);
}

// No fixed limit: a job record of more than 10000 inputs is sized to fit.
TEST(Job, RecordHasRoomForAnyCount) {
    CAVConverter engine;
    engine.AllocNames(12000);
    EXPECT_EQ(engine.m_nInputCount, 12000);
    ASSERT_EQ(engine.m_ppszInputs.size(), 12000u);
    ASSERT_EQ(engine.m_ppszOutputs.size(), 12000u);
    ASSERT_EQ(engine.m_dEnd.size(), 12000u);
    EXPECT_EQ(engine.m_status[11999], -1);
    EXPECT_EQ(ReadInputResult(engine, 11999).error, 0);
}

}  // namespace
}  // namespace enginetest
