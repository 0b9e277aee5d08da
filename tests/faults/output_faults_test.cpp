// Outputs that go wrong: the folder removed mid-job, a full disk, a folder
// that cannot be written, a name taken by someone else while the job runs.
// Each test checks what the engine reports and what is left on disk.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "fault_support.h"

extern "C" {
#include <libavutil/error.h>
}

namespace faults {
namespace {

using enginetest::ExpectSameVideo;
using enginetest::Media;
using enginetest::NoisyTransportStream;
using enginetest::SmallVideo;
using testmedia::TempDir;
using namespace std::chrono_literals;

const int kIgnoreBrokenPipes = [] {
    std::signal(SIGPIPE, SIG_IGN);  // the engine may close a pipe the test still feeds
    return 0;
}();

// The noisy stream fed through a pipe that pauses at 40 %, so the worker is
// in the middle of copying it for as long as the test wants.
std::unique_ptr<FedInput> PausedInput(const fs::path& pipe) {
    std::string bytes = ReadBytes(NoisyTransportStream());
    const size_t pause = bytes.size() * 2 / 5;
    return std::make_unique<FedInput>(pipe, std::move(bytes), pause);
}

// ---- The output folder goes away -------------------------------------------

// The folder, with the output being written in it, is removed. The worker
// can go on writing into the removed file, but no output is left on disk,
// so the input has failed and the job ends: the next output would have no
// folder either. The folder is not made again.
TEST(OutputFolderRemoved, MidJobFailsTheInputAndTheJob) {
    TempDir dir;
    const fs::path out = dir / "out";
    fs::create_directory(out);
    auto input = PausedInput(dir / "in.ts");
    const JobOutcome job =
        RunJobWithin({{input->path(), out / "a.ts", 10.0}, {SmallVideo("mkv"), out / "b.mkv"}}, 60s,
                     [&](CAVConverter& engine) {
                         ASSERT_TRUE(WaitForProgress(engine, 20));
                         fs::remove_all(out);
                         input->Resume();
                     });
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusPending}));
    EXPECT_EQ(job.errors[0], AVERROR(ENOENT));
    EXPECT_EQ(job.current, 0);
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(out));
}

// ---- A full disk -----------------------------------------------------------

// The output's file system fills up in the middle of the packets. The input
// has failed with the disk's error, the job ends, the next input is not
// begun; the part written stays as the program's own file.
TEST(FullDisk, SmallFileSystemFailsTheInputAndTheJob) {
    TempDir dir;
    SmallFileSystem disk(dir / "disk", "size=512k");
    if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const JobOutcome job = RunJobWithin({{NoisyTransportStream(), dir / "disk" / "a.ts", 10.0},
                                         {SmallVideo("mkv"), dir / "disk" / "b.mkv"}},
                                        60s);
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusPending}));
    EXPECT_EQ(job.errors[0], AVERROR(ENOSPC));
    EXPECT_EQ(job.current, 0);
    EXPECT_EQ(job.result, -1);
    EXPECT_EQ(Snap(dir / "disk").size(), 1u);
    EXPECT_LE(fs::file_size(dir / "disk" / "a.ts"), 512u * 1024);
}

// The same with a limit on the size of any file the process writes, in a
// child process so the limit binds nobody else.
TEST(FullDisk, FileSizeLimitFailsTheInputAndTheJob) {
    TempDir dir;
    const rlim_t limit = 256 * 1024;
    const int code = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{limit, saved.rlim_max};
        if (setrlimit(RLIMIT_FSIZE, &small) != 0) return 2;
        const JobOutcome job = RunJobWithin(
            {{NoisyTransportStream(), dir / "a.ts", 10.0}, {SmallVideo("mkv"), dir / "b.mkv"}},
            60s);
        setrlimit(RLIMIT_FSIZE, &saved);  // so the outcome can be saved
        SaveOutcome(job, dir / "outcome.txt");
        return 0;
    });
    ASSERT_EQ(code, 0);
    const JobOutcome job = LoadOutcome(dir / "outcome.txt");
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusPending}));
    EXPECT_EQ(job.errors[0], AVERROR(EFBIG));
    EXPECT_EQ(job.current, 0);
    EXPECT_EQ(job.result, -1);
    EXPECT_LE(fs::file_size(dir / "a.ts"), limit);
    EXPECT_FALSE(fs::exists(dir / "b.mkv"));
}

// ---- Folders that cannot be written ------------------------------------------

struct UnwritableCase {
    const char* name;
    // Makes the folder in `dir` and returns it.
    std::function<fs::path(const fs::path& dir)> make;
    int error;
    bool unprivileged;  // run the job as the user nobody when root
};

std::ostream& operator<<(std::ostream& os, const UnwritableCase& c) { return os << c.name; }

class UnwritableFolder : public testing::TestWithParam<UnwritableCase> {};

// The first output cannot be created: the job fails there and nothing is
// written anywhere; the input is not touched.
TEST_P(UnwritableFolder, FailsTheJobAndWritesNothing) {
    const UnwritableCase& c = GetParam();
    TempDir dir;
    const fs::path folder = c.make(dir.path());
    const fs::path input = dir / "in.mp4";
    fs::copy_file(SmallVideo("mp4"), input);
    const Snapshot before = Snap(dir.path());

    const int code = InChild(
        [&] {
            const JobOutcome job = RunJobWithin(
                {{input, folder / "in.mp4"}, {SmallVideo("mkv"), folder / "next.mkv"}}, 60s);
            // Told through the exit code: the child may not write files here.
            const bool ok = job.statuses == std::vector<int>{kStatusFailed, kStatusPending} &&
                            job.errors[0] == c.error && job.current == 0 && job.result == -1;
            if (!ok)
                std::fprintf(stderr, "statuses %d %d, error %d, current %d, result %d\n",
                             job.statuses[0], job.statuses[1], job.errors[0], job.current,
                             job.result);
            return ok ? 0 : 1;
        },
        c.unprivileged);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Snap(dir.path()), before);
    std::error_code ec;
    if (fs::is_directory(folder, ec)) {
        EXPECT_TRUE(fs::is_empty(folder));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, UnwritableFolder,
    testing::Values(UnwritableCase{"path_through_a_file",
                                   [](const fs::path& dir) {
                                       WriteBytes(dir / "notes.txt", "not a folder");
                                       return dir / "notes.txt";
                                   },
                                   AVERROR(ENOTDIR), false},
                    UnwritableCase{"no_write_permission",
                                   [](const fs::path& dir) {
                                       fs::create_directory(dir / "locked");
                                       fs::permissions(dir / "locked", fs::perms::owner_read |
                                                                           fs::perms::owner_exec |
                                                                           fs::perms::others_read |
                                                                           fs::perms::others_exec);
                                       return dir / "locked";
                                   },
                                   AVERROR(EACCES), true}),
    [](const auto& info) { return std::string(info.param.name); });

// A file system mounted read-only.
TEST(UnwritableFolder, ReadOnlyFileSystem) {
    TempDir dir;
    SmallFileSystem disk(dir / "ro", "size=64k,ro");
    if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const JobOutcome job = RunJobWithin(
        {{SmallVideo("mp4"), dir / "ro" / "a.mp4"}, {SmallVideo("mkv"), dir / "ro" / "b.mkv"}},
        60s);
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusPending}));
    EXPECT_EQ(job.errors[0], AVERROR(EROFS));
    EXPECT_EQ(job.result, -1);
    EXPECT_TRUE(fs::is_empty(dir / "ro"));
}

// ---- A name taken while the job runs ---------------------------------------

// The names of a job are free when it starts. If a file of one of them
// appears before the worker gets there, the worker leaves it alone: that
// input fails, the file is byte for byte what it was, and the job goes on.
TEST(OutputNameTaken, DuringTheJobTheFileIsLeftAlone) {
    TempDir dir;
    HeldOutput first(dir / "a.ts", 64 * 1024);
    const fs::path second = dir / "b.mkv";
    const JobOutcome job = RunJobWithin({{NoisyTransportStream(), first.path(), 10.0},
                                         {SmallVideo("mkv"), second},
                                         {SmallVideo("mp4"), dir / "c.mp4"}},
                                        60s, [&](CAVConverter&) {
                                            ASSERT_TRUE(first.WaitUntilHeld());
                                            WriteBytes(second, "the user's own file");
                                            first.Release();
                                        });
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusSucceeded, kStatusFailed, kStatusSucceeded}));
    EXPECT_EQ(job.errors[1], AVERROR(EEXIST));
    EXPECT_EQ(job.result, 0);
    EXPECT_TRUE(ReadBytes(second) == "the user's own file");
    ExpectSameVideo(Media(SmallVideo("mp4")), Media(dir / "c.mp4"));
    first.Bytes();
}

// A link that appears under an output name is not written through either.
TEST(OutputNameTaken, ByALinkNothingIsWrittenThroughIt) {
    TempDir dir;
    const fs::path target = dir / "elsewhere.mkv";
    WriteBytes(target, "the user's own file");
    HeldOutput first(dir / "a.ts", 64 * 1024);
    const JobOutcome job = RunJobWithin(
        {{NoisyTransportStream(), first.path(), 10.0}, {SmallVideo("mkv"), dir / "b.mkv"}}, 60s,
        [&](CAVConverter&) {
            ASSERT_TRUE(first.WaitUntilHeld());
            fs::create_symlink(target, dir / "b.mkv");
            first.Release();
        });
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusSucceeded, kStatusFailed}));
    EXPECT_EQ(job.errors[1], AVERROR(EEXIST));
    EXPECT_TRUE(ReadBytes(target) == "the user's own file");
    first.Bytes();
}

}  // namespace
}  // namespace faults
