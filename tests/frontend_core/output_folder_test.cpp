#include "frontend_core/output_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "engine/utf8_path.h"
#include "test_media.h"

namespace fs = std::filesystem;

namespace {

using testmedia::ReadAll;

std::set<fs::path> Listing(const fs::path& folder) {
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

TEST(OutputFolder, AWritableFolderWithRoomPasses) {
    testmedia::TempDir dir;
    std::ofstream(dir / "in.mp4") << std::string(1000, 'v');
    const auto result =
        CheckOutputFolder(Utf8FromPath(dir.path()), {Utf8FromPath(dir / "in.mp4"), "/no/such.mp4"});
    EXPECT_EQ(result.check, FolderCheck::kOk);
    EXPECT_EQ(result.needed, 1000u);  // the unreadable input counts as 0
    EXPECT_GT(result.available, 0u);
    EXPECT_EQ(Listing(dir.path()), std::set<fs::path>{"in.mp4"});  // no test file left behind
}

TEST(OutputFolder, MissingOrNotAFolder) {
    testmedia::TempDir dir;
    std::ofstream(dir / "file.txt") << "x";
    const std::pair<std::string, FolderCheck> cases[] = {
        {"\\", FolderCheck::kBareSeparator},
        {"", FolderCheck::kMissing},
        {Utf8FromPath(dir / "absent"), FolderCheck::kMissing},
        {Utf8FromPath(dir / "file.txt" / "sub"), FolderCheck::kMissing},
        {Utf8FromPath(dir / "file.txt"), FolderCheck::kNotAFolder},
        {Utf8FromPath(dir.path()) + "/Ordner ä 文件夹", FolderCheck::kMissing},
    };
    for (const auto& [folder, expected] : cases)
        EXPECT_EQ(CheckOutputFolder(folder, {}).check, expected) << folder;

    fs::create_directory(dir / PathFromUtf8("Ordner ä 文件夹"));
    EXPECT_EQ(CheckOutputFolder(Utf8FromPath(dir.path()) + "/Ordner ä 文件夹", {}).check,
              FolderCheck::kOk);
}

// A user's own file that happens to carry the test name is neither opened
// nor deleted; the test goes on with another name and cleans up after itself.
TEST(OutputFolder, WriteTestNeverTouchesAUsersFileOfTheTestName) {
    testmedia::TempDir dir;
    const std::string content = "precious user data\n";
    std::ofstream(dir / "jlewhqlhqwenqfwk.mp4", std::ios::binary) << content;
    std::ofstream(dir / "jlewhqlhqwenqfwk-1.mp4", std::ios::binary) << content;
    fs::create_directory(dir / "jlewhqlhqwenqfwk-2.mp4");
    const auto before = Listing(dir.path());
    const auto written = fs::last_write_time(dir / "jlewhqlhqwenqfwk.mp4");

    EXPECT_FALSE(FolderWriteTest(dir.path()));
    EXPECT_EQ(CheckOutputFolder(Utf8FromPath(dir.path()), {}).check, FolderCheck::kOk);

    EXPECT_EQ(ReadAll(dir / "jlewhqlhqwenqfwk.mp4"), content);
    EXPECT_EQ(ReadAll(dir / "jlewhqlhqwenqfwk-1.mp4"), content);
    EXPECT_EQ(fs::last_write_time(dir / "jlewhqlhqwenqfwk.mp4"), written);
    EXPECT_EQ(Listing(dir.path()), before);
}

#ifdef __linux__
TEST(OutputFolder, AFolderThatTakesNoFileFailsTheWriteTest) {
    // /proc exists as a folder but refuses new files, for root as well.
    const auto result = CheckOutputFolder("/proc", {});
    EXPECT_EQ(result.check, FolderCheck::kNotWritable);
    EXPECT_TRUE(result.error);
}
#endif

TEST(OutputFolder, AFolderWithoutWritePermissionFailsTheWriteTest) {
    if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
    testmedia::TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const auto result = CheckOutputFolder(Utf8FromPath(dir.path()), {});
    EXPECT_EQ(result.check, FolderCheck::kNotWritable);
    EXPECT_EQ(result.error, std::errc::permission_denied);
}

// A dry run looks without writing: a folder that takes no file passes, and
// the space it lacks is still counted.
TEST(OutputFolder, LookingWithoutWritingTriesNoFileButCountsTheSpace) {
    EXPECT_EQ(CheckOutputFolder("/proc", {}, FolderCheckDepth::kWithoutWriting).check,
              FolderCheck::kOk);
    testmedia::TempDir dir;
    EXPECT_EQ(
        CheckOutputFolder(Utf8FromPath(dir / "missing"), {}, FolderCheckDepth::kWithoutWriting)
            .check,
        FolderCheck::kMissing);
    const fs::path big = dir / "big.mp4";
    std::ofstream(big).close();
    std::error_code ec;
    fs::resize_file(big, fs::space(dir.path()).free + (std::uintmax_t{1} << 30), ec);
    if (ec) GTEST_SKIP() << "the file system takes no sparse file of that size: " << ec.message();
    EXPECT_EQ(CheckOutputFolder(Utf8FromPath(dir.path()), {Utf8FromPath(big)},
                                FolderCheckDepth::kWithoutWriting)
                  .check,
              FolderCheck::kNotEnoughSpace);
    EXPECT_EQ(Listing(dir.path()), std::set<fs::path>{"big.mp4"});
}

// A sparse input larger than the free space of the folder's file system: the
// space test refuses it without any byte of it being written.
TEST(OutputFolder, InputsLargerThanTheFreeSpaceAreRefused) {
    testmedia::TempDir dir;
    const fs::path big = dir / "big.mp4";
    std::ofstream(big).close();
    const auto free = fs::space(dir.path()).free;
    std::error_code ec;
    fs::resize_file(big, free + (std::uintmax_t{1} << 30), ec);
    if (ec) GTEST_SKIP() << "the file system takes no sparse file of that size: " << ec.message();
    std::ofstream(dir / "small.mp4") << "abc";

    const auto result = CheckOutputFolder(Utf8FromPath(dir.path()),
                                          {Utf8FromPath(big), Utf8FromPath(dir / "small.mp4")});
    EXPECT_EQ(result.check, FolderCheck::kNotEnoughSpace);
    EXPECT_EQ(result.needed, fs::file_size(big) + 3);
    EXPECT_LT(result.available, result.needed);

    EXPECT_EQ(CheckOutputFolder(Utf8FromPath(dir.path()), {Utf8FromPath(dir / "small.mp4")}).check,
              FolderCheck::kOk);
}

}  // namespace
