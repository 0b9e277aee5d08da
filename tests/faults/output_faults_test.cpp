// Outputs that go wrong: the folder removed mid-job, a full disk, a folder
// that cannot be written, a name taken by someone else while the job runs.
// Each test checks what the engine reports and what is left on disk.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "engine/engine_errors.h"
#include "engine/input_result.h"
#include "fault_support.h"
#include "read_shim.h"

extern "C" {
#include <libavutil/error.h>
}

namespace faults {
namespace {

using enginetest::CopyOk;

// The noisy stream fed through a pipe that pauses at 40 %, so the worker is
// in the middle of copying it for as long as the test wants.
std::unique_ptr<FedPipe> PausedInput(const fs::path& pipe) {
    std::string bytes = ReadBytes(NoisyTransportStream());
    const size_t pause = bytes.size() * 2 / 5;
    auto input = std::make_unique<FedPipe>(pipe, std::move(bytes), pause);
    if (!input->ok()) throw std::runtime_error("mkfifo " + pipe.string());
    return input;
}

// ---- The output folder goes away -------------------------------------------

// The folder, with the output being written in it, is removed. The worker
// can go on writing into the removed file, but no output is left on disk,
// so the input has failed; so does the next one, whose folder is gone too.
// The folder is not made again.
TEST(OutputFolderRemoved, MidJobFailsTheInputs) {
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
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusFailed}));
    EXPECT_EQ(job.errors[0], velmora::kErrorOutputRemoved);
    EXPECT_EQ(job.errors[1], AVERROR(ENOENT));
    EXPECT_EQ(job.current, 2);
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(out));
}

// A file whose set-up reads its first part only (its index at the front),
// so that a read held at MidCopy() is held in the middle of the copy, well
// after the output was made.
fs::path IndexFirst() {
    return testmedia::Make("noisy_index_first.mp4",
                           "-f lavfi -i testsrc=duration=10:size=160x120:rate=25 "
                           "-vf noise=alls=60:allf=t+u -pix_fmt yuv420p -c:v libx264 "
                           "-preset ultrafast -g 25 -movflags +faststart");
}

std::int64_t MidCopy(const fs::path& input) {
    return static_cast<std::int64_t>(fs::file_size(input) * 3 / 4);
}

// The output folder is moved (renamed) while an output is written in it:
// the output is finished in the folder it was made in, under its new name,
// and no temporary file is left behind.
TEST(OutputFolderMoved, MidCopyTheOutputIsFinishedWhereItWasMade) {
    TempDir dir;
    const fs::path first = dir / "first.mp4";
    fs::copy_file(IndexFirst(), first);
    fs::create_directory(dir / "out");
    // Made first, so that a failed check lets the held reads go before the
    // engine joins its worker.
    CAVConverter engine;
    readshim::Watching held({"/first.mp4", -1, MidCopy(first)});
    StartJob(engine, {{first, dir / "out" / "a.mp4", 10.0}});
    ASSERT_TRUE(readshim::WaitUntilHeld());
    ASSERT_EQ(testmedia::FilesIn(dir / "out").size(), 1u) << "the copy has not begun";
    fs::rename(dir / "out", dir / "moved");
    readshim::Release();
    engine.Join();
    const InputResult result = ReadInputResult(engine, 0);
    EXPECT_EQ(result.status, kStatusSucceeded) << result.error;
    EXPECT_EQ(result.outcome, velmora::OutputOutcome::kPublished);
    EXPECT_EQ(result.output, (dir / "moved" / "a.mp4").string());
    EXPECT_EQ(result.strandedPart, "");
    EXPECT_EQ(testmedia::FilesIn(dir / "moved"), std::vector<std::string>{"a.mp4"});
    EXPECT_FALSE(fs::exists(dir / "out"));
    ExpectSameVideo(Media(first), Media(dir / "moved" / "a.mp4"));
}

// A folder below the output folder is swapped for a link to another place
// while the job runs (velmora-cli --keep-tree writes below the output
// folder). The output in work is finished in the folder it was made in;
// the next output, whose way now leads through the link, fails; nothing is
// written where the link points, and no temporary file is left anywhere.
TEST(OutputFolderSwapped, ForALinkNothingIsWrittenThroughIt) {
    TempDir dir;
    const fs::path first = dir / "first.mp4";
    fs::copy_file(IndexFirst(), first);
    fs::create_directories(dir / "out" / "sub");
    fs::create_directory(dir / "elsewhere");
    // Made first, so that a failed check lets the held reads go before the
    // engine joins its worker.
    CAVConverter engine;
    readshim::Watching held({"/first.mp4", -1, MidCopy(first)});
    std::vector<JobItem> items = {
        {first.string(), (dir / "out" / "sub" / "a.mp4").string(), 10.0},
        {SmallVideo("mkv").string(), (dir / "out" / "sub" / "b.mkv").string(), 2.0}};
    for (JobItem& item : items) item.outputRoot = (dir / "out").string();
    engine.StartJob(items);
    ASSERT_TRUE(readshim::WaitUntilHeld());
    ASSERT_EQ(testmedia::FilesIn(dir / "out" / "sub").size(), 1u) << "the copy has not begun";
    fs::rename(dir / "out" / "sub", dir / "out" / "sub.old");
    fs::create_directory_symlink(dir / "elsewhere", dir / "out" / "sub");
    readshim::Release();
    engine.Join();

    const InputResult a = ReadInputResult(engine, 0);
    const InputResult b = ReadInputResult(engine, 1);
    EXPECT_EQ(a.status, kStatusSucceeded) << a.error;
    EXPECT_EQ(a.output, (dir / "out" / "sub.old" / "a.mp4").string());
    EXPECT_EQ(b.status, kStatusFailed);
    EXPECT_EQ(b.error, AVERROR(ELOOP));
    EXPECT_EQ(b.outcome, velmora::OutputOutcome::kNothingWritten);
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    EXPECT_EQ(testmedia::FilesIn(dir / "out" / "sub.old"), std::vector<std::string>{"a.mp4"});
    EXPECT_EQ(testmedia::FilesIn(dir / "out"), (std::vector<std::string>{"sub", "sub.old"}));
    ExpectSameVideo(Media(first), Media(dir / "out" / "sub.old" / "a.mp4"));
}

// ---- A full disk -----------------------------------------------------------

struct FullDiskCase {
    const char* name;
    const char* ext;
    // Fills the disk at the very end, where the trailer is written and what
    // is still buffered is flushed; otherwise in the middle of the packets.
    bool atTheEnd;
};

std::ostream& operator<<(std::ostream& os, const FullDiskCase& c) { return os << c.name; }

class FillingDisk : public testing::TestWithParam<FullDiskCase> {};

// The output's file system fills up while the output is written, in
// containers that write straight on and in ones that go back to finish
// their header. The input has failed with the disk's error and its part is
// removed, which makes room for the next, small input.
TEST_P(FillingDisk, SmallFileSystemFailsThatInput) {
    const FullDiskCase& c = GetParam();
    TempDir dir;
    const std::string name = std::string("a.") + c.ext;
    std::string size = "512k";
    if (c.atTheEnd) {
        // One page less than the whole output needs.
        CopyOk(NoisyTransportStream(), dir / name);
        const std::uintmax_t pages = (fs::file_size(dir / name) + 4095) / 4096;
        fs::remove(dir / name);
        size = std::to_string((pages - 1) * 4096);
    }
    SmallFileSystem disk(dir / "disk", "size=" + size);
    if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const JobOutcome job = RunJobWithin({{NoisyTransportStream(), dir / "disk" / name, 10.0},
                                         {SmallVideo("mkv"), dir / "disk" / "b.mkv"}},
                                        60s);
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusSucceeded}));
    EXPECT_EQ(job.errors[0], AVERROR(ENOSPC));
    EXPECT_EQ(job.current, 2);
    EXPECT_EQ(job.result, -1);
    EXPECT_EQ(testmedia::FilesIn(dir / "disk"), std::vector<std::string>{"b.mkv"});
}

INSTANTIATE_TEST_SUITE_P(Outputs, FillingDisk,
                         testing::Values(FullDiskCase{"ts_midway", "ts", false},
                                         FullDiskCase{"mp4_midway", "mp4", false},
                                         FullDiskCase{"mov_midway", "mov", false},
                                         FullDiskCase{"mkv_midway", "mkv", false},
                                         FullDiskCase{"ts_at_the_end", "ts", true},
                                         FullDiskCase{"mp4_at_the_end", "mp4", true},
                                         FullDiskCase{"mkv_at_the_end", "mkv", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The same with a limit on the size of any file the process writes, in a
// child process so the limit binds nobody else.
TEST(FullDisk, FileSizeLimitFailsThatInput) {
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
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusSucceeded}));
    EXPECT_EQ(job.errors[0], AVERROR(EFBIG));
    EXPECT_EQ(job.current, 2);
    EXPECT_EQ(job.result, -1);
    EXPECT_FALSE(fs::exists(dir / "a.ts"));
    EXPECT_TRUE(fs::exists(dir / "b.mkv"));
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

// No output can be created: every input fails and nothing is written
// anywhere; the input is not touched.
TEST_P(UnwritableFolder, FailsEveryInputAndWritesNothing) {
    const UnwritableCase& c = GetParam();
    TempDir dir;
    const fs::path folder = c.make(dir.path());
    const fs::path input = dir / "in.mp4";
    const fs::path next = dir / "next.mkv";
    fs::copy_file(SmallVideo("mp4"), input);
    fs::copy_file(SmallVideo("mkv"), next);
    const Snapshot before = Snap(dir.path());

    constexpr int kInputsOutOfReach = 77;
    const int code = InChild(
        [&] {
            // An unprivileged child may not reach a temporary folder kept
            // under a private parent; then this case cannot be shown here.
            if (access(input.c_str(), R_OK) != 0 || access(next.c_str(), R_OK) != 0)
                return kInputsOutOfReach;
            const JobOutcome job =
                RunJobWithin({{input, folder / "in.mp4"}, {next, folder / "next.mkv"}}, 60s);
            // Told through the exit code: the child may not write files here.
            const bool ok = job.statuses == std::vector<int>{kStatusFailed, kStatusFailed} &&
                            job.errors[0] == c.error && job.current == 2 && job.result == -1;
            if (!ok)
                std::fprintf(stderr, "statuses %d %d, error %d, current %d, result %d\n",
                             job.statuses[0], job.statuses[1], job.errors[0], job.current,
                             job.result);
            return ok ? 0 : 1;
        },
        c.unprivileged);
    if (code == kInputsOutOfReach)
        GTEST_SKIP() << "the unprivileged user cannot reach " << dir.path();
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
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusFailed, kStatusFailed}));
    EXPECT_EQ(job.errors[0], AVERROR(EROFS));
    EXPECT_EQ(job.result, -1);
    EXPECT_TRUE(fs::is_empty(dir / "ro"));
}

// ---- A name taken while the job runs ---------------------------------------

// A file that appears under an output name while the job runs is left
// alone: the output takes the next free name beside it, and the job reports
// the name used.
TEST(OutputNameTaken, DuringTheJobTheFileIsLeftAlone) {
    TempDir dir;
    const fs::path first = dir / "first.ts";
    fs::copy_file(NoisyTransportStream(), first);
    const fs::path second = dir / "b.mkv";
    readshim::Watching held({"/first.ts", -1, 64 * 1024});
    CAVConverter engine;
    StartJob(engine, {{first, dir / "a.ts", 10.0},
                      {SmallVideo("mkv"), second},
                      {SmallVideo("mp4"), dir / "c.mp4"}});
    ASSERT_TRUE(readshim::WaitUntilHeld());
    WriteBytes(second, "the user's own file");
    readshim::Release();
    engine.Join();
    const JobOutcome job = OutcomeOf(engine, 3);
    EXPECT_EQ(job.statuses,
              (std::vector<int>{kStatusSucceeded, kStatusSucceeded, kStatusSucceeded}));
    EXPECT_EQ(job.result, 0);
    EXPECT_TRUE(ReadBytes(second) == "the user's own file");
    EXPECT_EQ(ReadInputResult(engine, 1).output, (dir / "b(0).mkv").string());
    ExpectSameVideo(Media(SmallVideo("mkv")), Media(dir / "b(0).mkv"));
    ExpectSameVideo(Media(SmallVideo("mp4")), Media(dir / "c.mp4"));
}

// A link that appears under an output name is not written through either.
TEST(OutputNameTaken, ByALinkNothingIsWrittenThroughIt) {
    TempDir dir;
    const fs::path target = dir / "elsewhere.mkv";
    WriteBytes(target, "the user's own file");
    const fs::path first = dir / "first.ts";
    fs::copy_file(NoisyTransportStream(), first);
    readshim::Watching held({"/first.ts", -1, 64 * 1024});
    const JobOutcome job = RunJobWithin(
        {{first, dir / "a.ts", 10.0}, {SmallVideo("mkv"), dir / "b.mkv"}}, 60s, [&](CAVConverter&) {
            ASSERT_TRUE(readshim::WaitUntilHeld());
            fs::create_symlink(target, dir / "b.mkv");
            readshim::Release();
        });
    EXPECT_EQ(job.statuses, (std::vector<int>{kStatusSucceeded, kStatusSucceeded}));
    EXPECT_TRUE(ReadBytes(target) == "the user's own file");
    EXPECT_TRUE(fs::is_symlink(dir / "b.mkv"));
    ExpectSameVideo(Media(SmallVideo("mkv")), Media(dir / "b(0).mkv"));
}

}  // namespace
}  // namespace faults
