// A job whose every output name is already taken in the output folder, run
// through velmora-cli as a user would: nothing there is replaced, written
// through or removed, and each output gets a free name.

#include <gtest/gtest.h>

#include <optional>

#include "cli_test_support.h"
#include "engine/input_result.h"
#include "fault_support.h"
#include "frontend_core/output_names.h"
#include "read_shim.h"

namespace faults {
namespace {

using testmedia::TempDir;

// The file systems the names are given on: one with every call, and one
// without RENAME_NOREPLACE and without hard links (FAT or exFAT through
// FUSE), which velmora-cli is made to see through a stand-in for those
// calls.
struct FileSystemCase {
    const char* name;
    const char* preload;  // LD_PRELOAD for velmora-cli; empty: none
};

std::ostream& operator<<(std::ostream& os, const FileSystemCase& c) { return os << c.name; }

class ExistingNamesOn : public testing::TestWithParam<FileSystemCase> {};

TEST_P(ExistingNamesOn, NothingInTheFolderIsTouched) {
    const FileSystemCase& c = GetParam();
    std::optional<ScopedEnv> preload;
    std::optional<ScopedEnv> asan;
    if (*c.preload) {
        preload.emplace("LD_PRELOAD", c.preload);
        asan.emplace("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0");
        // The stand-in is in force: no hard link can be made.
        int status = 0;
        testmedia::Run(
            "cd /tmp && : > velmora-link-probe-$$ && ln velmora-link-probe-$$ "
            "velmora-link-probe-$$.2 2>/dev/null; s=$?; rm -f velmora-link-probe-$$*; "
            "exit $s",
            &status);
        ASSERT_NE(status, 0) << "the stand-in for hard links is not in force";
    }
    TempDir cwd;
    const fs::path out = cwd / "out";
    fs::create_directory(out);
    fs::create_directory(cwd / "in");
    fs::create_directory(cwd / "elsewhere");
    for (const char* name : {"a.mp4", "b.mkv", "c.ts", "d.avi"})
        clitest::CopyTo(clitest::Clip(fs::path(name).extension().string().substr(1)),
                        cwd / "in" / name);
    // Every plain name is taken, and so are the first numbered ones: by
    // files, a folder, a link to the user's file elsewhere and a link to
    // nothing, which a writer would follow to make a file.
    WriteBytes(out / "a.mp4", "user file a");
    WriteBytes(out / "a(0).mp4", "user file a0");
    WriteBytes(out / "a(1).mp4", "");
    fs::create_directory(out / "b.mkv");
    WriteBytes(out / "b.mkv" / "inside", "user file inside b");
    WriteBytes(cwd / "elsewhere" / "c.ts", "the target of a link");
    fs::create_symlink(cwd / "elsewhere" / "c.ts", out / "c.ts");
    fs::create_symlink(cwd / "elsewhere" / "nothing.avi", out / "d.avi");
    fs::create_symlink(cwd / "elsewhere" / "nothing-either.avi", out / "d(0).avi");
    const Snapshot folder = Snap(out);
    const Snapshot inside = Snap(out / "b.mkv");
    const Snapshot elsewhere = Snap(cwd / "elsewhere");

    const auto result = clitest::Run(
        {"-q", "-o", "out", "in/a.mp4", "in/b.mkv", "in/c.ts", "in/d.avi"}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "done     in/a.mp4 -> out/a(2).mp4\n"
              "done     in/b.mkv -> out/b(0).mkv\n"
              "done     in/c.ts -> out/c(0).ts\n"
              "done     in/d.avi -> out/d(1).avi\n");

    // The folder holds what it held plus the four new files, and what it
    // held is byte for byte as it was.
    Snapshot after = Snap(out);
    for (const char* made : {"a(2).mp4", "b(0).mkv", "c(0).ts", "d(1).avi"}) {
        EXPECT_EQ(clitest::VideoHashes(out / made),
                  clitest::VideoHashes(
                      cwd / "in" / (std::string(1, made[0]) + fs::path(made).extension().string())))
            << made;
        after.erase(made);
    }
    EXPECT_EQ(after, folder);
    EXPECT_EQ(Snap(out / "b.mkv"), inside);
    EXPECT_EQ(Snap(cwd / "elsewhere"), elsewhere);
}

// The job item a front end makes of an input and its planned name.
JobItem ItemFor(const fs::path& input, const OutputName& planned) {
    JobItem item;
    item.input = input.string();
    item.output = planned.path;
    item.name = planned.place;
    return item;
}

// An input whose own name ends in a number, and whose output name is taken
// by another program while it is copied, is numbered after its own name:
// its output never takes the name planned for another input, which would
// then be numbered in turn (and passed over by a re-run that skips
// existing outputs).
TEST(ExistingNames, TakenDuringTheCopyTheOutputKeepsToItsOwnNames) {
    TempDir dir;
    fs::create_directory(dir / "in");
    fs::create_directory(dir / "out");
    const fs::path longer = dir / "in" / "clip(3).mp4";
    const fs::path shorter = dir / "in" / "clip(4).mp4";
    fs::copy_file(testmedia::Make("clip_20s.mp4",
                                  "-f lavfi -i testsrc=duration=20:size=160x120:rate=25 "
                                  "-pix_fmt yuv420p -c:v libx264 -g 25"),
                  longer);
    fs::copy_file(testmedia::Make("clip_5s.mp4",
                                  "-f lavfi -i testsrc=duration=5:size=160x120:rate=25 "
                                  "-pix_fmt yuv420p -c:v libx264 -g 25"),
                  shorter);
    const std::vector<OutputName> planned =
        PlanOutputNames((dir / "out").string(), {longer.string(), shorter.string()});
    ASSERT_EQ(planned[0].path, (dir / "out" / "clip(3).mp4").string());
    ASSERT_EQ(planned[1].path, (dir / "out" / "clip(4).mp4").string());

    // The first input's reads wait until the other program's file is there.
    // Made first, so that a failed check lets the held reads go before the
    // engine joins its worker.
    CAVConverter engine;
    readshim::Watching held({"/in/clip(3).mp4", -1, 16 * 1024});
    engine.StartJob({ItemFor(longer, planned[0]), ItemFor(shorter, planned[1])});
    ASSERT_TRUE(readshim::WaitUntilHeld());
    WriteBytes(dir / "out" / "clip(3).mp4", "another program's file");
    readshim::Release();
    engine.Join();

    EXPECT_EQ(ReadInputResult(engine, 0).output, (dir / "out" / "clip(3)(0).mp4").string());
    EXPECT_EQ(ReadInputResult(engine, 1).output, (dir / "out" / "clip(4).mp4").string());
    EXPECT_EQ(ReadBytes(dir / "out" / "clip(3).mp4"), "another program's file");
    ExpectSameVideo(Media(longer), Media(dir / "out" / "clip(3)(0).mp4"));
    ExpectSameVideo(Media(shorter), Media(dir / "out" / "clip(4).mp4"));
    EXPECT_EQ(testmedia::FilesIn(dir / "out"),
              (std::vector<std::string>{"clip(3)(0).mp4", "clip(3).mp4", "clip(4).mp4"}));
}

INSTANTIATE_TEST_SUITE_P(FileSystems, ExistingNamesOn,
                         testing::Values(FileSystemCase{"every_call", ""},
                                         FileSystemCase{"no_noreplace_no_hard_links",
                                                        VELMORA_RENAME_SHIM}),
                         [](const auto& info) { return std::string(info.param.name); });

// Asked to write into a folder that cannot take files, the program starts
// nothing and leaves the folder as it was.
TEST(ExistingNames, AFolderThatIsAFileStartsNothing) {
    TempDir cwd;
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "a.mp4");
    WriteBytes(cwd / "out", "a file, not a folder");
    const auto result = clitest::Run({"-q", "-o", "out", "a.mp4"}, cwd.path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(ReadBytes(cwd / "out"), "a file, not a folder");
    EXPECT_EQ(Snap(cwd.path()).size(), 2u);
}

}  // namespace
}  // namespace faults
