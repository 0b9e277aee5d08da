#include <gtest/gtest.h>

#include <random>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "ini_file.h"
#include "ini_test_files.h"
#include "test_media.h"

namespace fs = std::filesystem;

namespace {

using initest::ReadBytes;
using initest::WriteBytes;

struct WriteCase {
    const char* what;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(WriteProfileString, ChangesOnlyTheLineOfItsKey) {
    const WriteCase cases[] = {
        {"replace, keeping comments and blank lines",
         "; settings\n\n[PATH]\nname=/old\n\n; next\n[DIR]\nopen=1\n", "PATH", "name", "/new",
         "; settings\n\n[PATH]\nname=/new\n\n; next\n[DIR]\nopen=1\n"},
        {"replace keeps the file's spelling and spacing", "[Dir]\r\n  OPEN = 1\r\n", "DIR", "open",
         "0", "[Dir]\r\n  OPEN = 0\r\n"},
        {"replace an empty value", "[A]\nk=\nx=1\n", "A", "k", "v", "[A]\nk=v\nx=1\n"},
        {"write an empty value", "[A]\nk=v\n", "A", "k", "", "[A]\nk=\n"},
        {"only the first of duplicate keys", "[A]\nk=1\nk=2\n", "A", "k", "3", "[A]\nk=3\nk=2\n"},
        {"replace in a last line without line end", "[A]\nk=1", "A", "k", "2", "[A]\nk=2"},
        {"add a key after the section's last line", "[A]\nk=1\n; c\n\n[B]\nx=1\n", "A", "n", "2",
         "[A]\nk=1\n; c\nn=2\n\n[B]\nx=1\n"},
        {"add a key to a section with only its header", "[A]\n[B]\n", "A", "n", "2",
         "[A]\nn=2\n[B]\n"},
        {"add a key to a last line without line end", "[A]\nk=1", "a", "n", "2", "[A]\nk=1\nn=2"},
        {"add a key in a CRLF file", "[A]\r\nk=1\r\n", "A", "n", "2", "[A]\r\nk=1\r\nn=2\r\n"},
        {"add a section at the end", "[A]\nk=1\n", "B", "n", "2", "[A]\nk=1\n\n[B]\nn=2\n"},
        {"add a section after a blank last line", "[A]\nk=1\n\n", "B", "n", "2",
         "[A]\nk=1\n\n[B]\nn=2\n"},
        {"add a section to a file without line end", "[A]\nk=1", "B", "n", "2",
         "[A]\nk=1\n\n[B]\nn=2\n"},
        {"add a section in a CRLF file", "[A]\r\nk=1\r\n", "B", "n", "2",
         "[A]\r\nk=1\r\n\r\n[B]\r\nn=2\r\n"},
        {"a header without ] is not the section", "[A\nk=1\n", "A", "k", "2",
         "[A\nk=1\n\n[A]\nk=2\n"},
        {"UTF-8 byte-order mark kept", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "声音",
         "\xEF\xBB\xBF[A]\nk=声音\n"},
        {"bytes that are not UTF-8 kept", "\xFF\x80\n[A]\nk=1\n", "A", "k", "2",
         "\xFF\x80\n[A]\nk=2\n"},
    };
    testmedia::TempDir dir;
    const auto file = dir / "test.ini";
    for (const auto& c : cases) {
        WriteBytes(file, c.before);
        EXPECT_TRUE(WriteProfileString(file, c.section, c.key, c.value)) << c.what;
        EXPECT_EQ(ReadBytes(file), c.after) << c.what;
        EXPECT_EQ(ReadProfileString(file, c.section, c.key, "<missing>"), c.value) << c.what;
    }
}

TEST(WriteProfileString, CreatesAMissingFile) {
    testmedia::TempDir dir;
    const auto file = dir / "setting.ini";
    ASSERT_TRUE(WriteProfileString(file, "PATH", "name", "/home/user/视频"));
    ASSERT_TRUE(WriteProfileString(file, "DIR", "open", "0"));
    const std::string eol(initest::kNativeEol);
    EXPECT_EQ(ReadBytes(file),
              "[PATH]" + eol + "name=/home/user/视频" + eol + eol + "[DIR]" + eol + "open=0" + eol);
    EXPECT_EQ(ReadProfileString(file, "path", "name", ""), "/home/user/视频");
}

TEST(WriteProfileString, KeepsUtf16LeFilesUtf16Le) {
    testmedia::TempDir dir;
    const auto file = dir / "utf16.ini";
    WriteBytes(file,
               initest::Utf16LeFile(u"; 注释\r\n[PATH]\r\nname=旧\r\n\r\n[DIR]\r\nopen=1\r\n"));

    ASSERT_TRUE(WriteProfileString(file, "PATH", "name", "新的 😀"));
    ASSERT_TRUE(WriteProfileString(file, "DIR", "extra", "x"));
    ASSERT_TRUE(WriteProfileString(file, "LANGUAGE", "file", "中文.ini"));
    EXPECT_EQ(ReadBytes(file),
              initest::Utf16LeFile(u"; 注释\r\n[PATH]\r\nname=新的 😀\r\n\r\n[DIR]\r\nopen=1\r\n"
                                   u"extra=x\r\n\r\n[LANGUAGE]\r\nfile=中文.ini\r\n"));
    EXPECT_EQ(ReadProfileString(file, "PATH", "name", ""), "新的 😀");
}

TEST(WriteProfileString, KeepsEveryOtherByteOfOddFiles) {
    // Random bytes, read as UTF-8 and as UTF-16 (with unpaired surrogates):
    // a write appends its section and leaves all that came before untouched.
    testmedia::TempDir dir;
    const auto file = dir / "odd.ini";
    std::mt19937 random(4711);
    for (int round = 0; round < 40; ++round) {
        std::string bytes(2048, '\0');
        for (char& b : bytes) b = static_cast<char>(random());
        if (round % 2 == 1) bytes.replace(0, 2, "\xFF\xFE");
        WriteBytes(file, bytes);
        ASSERT_TRUE(WriteProfileString(file, "Velmora test", "key", "value")) << round;
        const std::string after = ReadBytes(file);
        EXPECT_EQ(after.substr(0, bytes.size()), bytes) << round;
        EXPECT_EQ(ReadProfileString(file, "Velmora test", "key", ""), "value") << round;
    }
}

TEST(WriteProfileString, HandlesA10MegabyteFile) {
    testmedia::TempDir dir;
    const auto file = dir / "big.ini";
    std::string bytes;
    for (int section = 0; bytes.size() < 10'000'000; ++section) {
        bytes += "[S" + std::to_string(section) + "]\n";
        for (int k = 0; k < 20; ++k)
            bytes += "key" + std::to_string(k) + "=" + std::string(40, 'v') + "\n";
    }
    const std::string tail = "[Last]\nkey=old\n";
    WriteBytes(file, bytes + tail);
    ASSERT_TRUE(WriteProfileString(file, "Last", "key", "new"));
    EXPECT_EQ(ReadBytes(file), bytes + "[Last]\nkey=new\n");
}

TEST(WriteProfileString, RefusesWhatAnIniLineCannotHold) {
    const std::string before = "[A]\nk=1\n";
    struct Case {
        const char* what;
        std::string section, key, value;
    };
    const Case cases[] = {
        {"line break in value", "A", "k", "a\nb"},
        {"carriage return in value", "A", "k", "a\rb"},
        {"NUL in value", "A", "k", std::string("a\0b", 3)},
        {"line break in key", "A", "k\nx", "v"},
        {"= in key", "A", "k=x", "v"},
        {"empty key", "A", "", "v"},
        {"key that reads as a comment", "A", ";k", "v"},
        {"key that reads as a section", "A", "[k", "v"},
        {"key with blanks around it", "A", " k", "v"},
        {"] in section", "A]", "k", "v"},
        {"line break in section", "A\n", "k", "v"},
    };
    testmedia::TempDir dir;
    const auto file = dir / "test.ini";
    for (const auto& c : cases) {
        WriteBytes(file, before);
        EXPECT_FALSE(WriteProfileString(file, c.section, c.key, c.value)) << c.what;
        EXPECT_EQ(ReadBytes(file), before) << c.what;
    }
}

// Leftover temporary files in the folder of `file`, other than `file` itself.
std::vector<fs::path> OtherFilesBeside(const fs::path& file) {
    std::vector<fs::path> others;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path() != file) others.push_back(entry.path());
    }
    return others;
}

TEST(WriteProfileString, FailsQuietlyWhereItCannotWrite) {
    testmedia::TempDir dir;
    // The folder is a regular file.
    WriteBytes(dir / "file", "contents");
    EXPECT_FALSE(WriteProfileString(dir / "file" / "setting.ini", "A", "k", "v"));
    EXPECT_EQ(ReadBytes(dir / "file"), "contents");

    // The folder does not exist: it is not created.
    EXPECT_FALSE(WriteProfileString(dir / "missing" / "setting.ini", "A", "k", "v"));
    EXPECT_FALSE(fs::exists(dir / "missing"));

    // A folder has the file's name.
    fs::create_directory(dir / "setting.ini");
    EXPECT_FALSE(WriteProfileString(dir / "setting.ini", "A", "k", "v"));
    EXPECT_TRUE(fs::is_directory(dir / "setting.ini"));
    EXPECT_TRUE(fs::is_empty(dir / "setting.ini"));
    EXPECT_EQ(OtherFilesBeside(dir / "setting.ini").size(), 1u);  // only "file"
}

bool RunningAsRoot() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}

TEST(WriteProfileString, LeavesReadOnlyAndUnreadableFilesAlone) {
    if (RunningAsRoot()) GTEST_SKIP() << "file permissions do not bind root";
    testmedia::TempDir dir;
    const auto file = dir / "setting.ini";
    const std::string before = "[A]\nk=1\n";

    WriteBytes(file, before);
    fs::permissions(file, fs::perms::owner_read);
    EXPECT_FALSE(WriteProfileString(file, "A", "k", "2"));
    EXPECT_EQ(ReadBytes(file), before);

    // A file we cannot read is not replaced: its contents would be lost.
    fs::permissions(file, fs::perms::owner_write);
    EXPECT_FALSE(WriteProfileString(file, "A", "k", "2"));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadBytes(file), before);

    // A folder without write permission.
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(WriteProfileString(file, "A", "k", "2"));
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_TRUE(OtherFilesBeside(file).empty());
}

TEST(WriteProfileString, ReplacesTheFileWholeAndKeepsItsPermissions) {
    testmedia::TempDir dir;
    const auto file = dir / "setting.ini";
    WriteBytes(file, "[A]\nk=1\n");
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, perms);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(WriteProfileString(file, "A", "k", std::to_string(i)));
    }
    EXPECT_EQ(ReadBytes(file), "[A]\nk=19\n");
    EXPECT_EQ(fs::status(file).permissions(), perms);
    EXPECT_TRUE(OtherFilesBeside(file).empty()) << "temporary files left behind";
}

#ifndef _WIN32
TEST(WriteProfileString, WritesThroughASymbolicLink) {
    testmedia::TempDir dir;
    fs::create_directory(dir / "real");
    WriteBytes(dir / "real" / "setting.ini", "[A]\nk=1\n");
    fs::create_symlink(dir / "real" / "setting.ini", dir / "link.ini");
    ASSERT_TRUE(WriteProfileString(dir / "link.ini", "A", "k", "2"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadBytes(dir / "real" / "setting.ini"), "[A]\nk=2\n");
}
#endif

}  // namespace
