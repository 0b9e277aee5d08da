#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ini_file.h"
#include "ini_test_files.h"
#include "test_media.h"

namespace {

using initest::ReadBytes;
using initest::WriteBytes;

struct ReadCase {
    const char* what;
    std::string file;
    const char* section;
    const char* key;
    std::string expected;
};

TEST(ReadProfileString, FollowsTheIniRules) {
    const std::string def = "<default>";
    const ReadCase cases[] = {
        {"plain", "[A]\nk=v\n", "A", "k", "v"},
        {"section and key ignore case", "[Language]\nFILE=english.ini\n", "LANGUAGE", "file",
         "english.ini"},
        {"missing section", "[A]\nk=v\n", "B", "k", def},
        {"missing key", "[A]\nk=v\n", "A", "x", def},
        {"key of another section", "[A]\nk=v\n[B]\nx=1\n", "A", "x", def},
        {"empty file", "", "A", "k", def},
        {"empty value is not missing", "[A]\nk=\n", "A", "k", ""},
        {"blanks around names and value", "  [ A ]  \n\t k \t=  v w \t\n", "A", "k", "v w"},
        {"only the first = splits", "[A]\nk=a=b\n", "A", "k", "a=b"},
        {"double quotes removed", "[A]\nk=\" padded \"\n", "A", "k", " padded "},
        {"single quotes removed", "[A]\nk='x'\n", "A", "k", "x"},
        {"unmatched quote kept", "[A]\nk=\"x\n", "A", "k", "\"x"},
        {"mixed quotes kept", "[A]\nk=\"x'\n", "A", "k", "\"x'"},
        {"first of duplicate keys", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        {"first of duplicate sections", "[A]\nk=1\n[a]\nk=2\nx=3\n", "A", "k", "1"},
        {"text after ] ignored", "[A] ; note\nk=v\n", "A", "k", "v"},
        {"key before any section", "k=v\n[A]\n", "A", "k", def},
        {"comment line", "[A]\n;k=v\n", "A", "k", def},
        {"comment does not end the section", "[A]\n; note\nk=v\n", "A", "k", "v"},
        {"line without =", "[A]\nk\nk=v\n", "A", "k", "v"},
        {"header without ] opens nothing", "[A]\n[B\nk=v\n", "A", "k", "v"},
        {"header without ] is not a section", "[A]\n[B\nk=v\n", "B", "k", def},
        {"CRLF line ends", "[A]\r\nk=v\r\nx=y\r\n", "A", "k", "v"},
        {"no final line end", "[A]\nk=v", "A", "k", "v"},
        {"UTF-8 byte-order mark skipped", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
        {"non-ASCII text", "[A]\nk=声音已去除\n", "A", "k", "声音已去除"},
        {"NUL ends the value", std::string("[A]\nk=ab\0cd\n", 12), "A", "k", "ab"},
        {"bytes that are not UTF-8 pass through", "[A]\nk=\xFF\xFE\x80\n", "A", "k",
         "\xFF\xFE\x80"},
    };
    testmedia::TempDir dir;
    const auto file = dir / "test.ini";
    for (const auto& c : cases) {
        WriteBytes(file, c.file);
        EXPECT_EQ(ReadProfileString(file, c.section, c.key, def), c.expected) << c.what;
    }
}

TEST(ReadProfileString, GivesTheDefaultWhenTheFileCannotBeRead) {
    testmedia::TempDir dir;
    EXPECT_EQ(ReadProfileString(dir / "missing.ini", "A", "k", "d"), "d");
    EXPECT_EQ(ReadProfileString(dir / "no" / "folder.ini", "A", "k", "d"), "d");
    EXPECT_EQ(ReadProfileString(dir.path(), "A", "k", "d"), "d");  // a folder
    EXPECT_EQ(ReadProfileString(dir / "missing.ini", "A", "k", ""), "");
}

TEST(ReadProfileString, CutsTextsTo999Characters) {
    testmedia::TempDir dir;
    const auto file = dir / "long.ini";
    const std::string ascii(1200, 'x');
    std::string chinese;
    for (int i = 0; i < 1200; ++i) chinese += "声";
    WriteBytes(file, "[A]\nascii=" + ascii + "\nchinese=" + chinese + "\nexact=" +
                         std::string(999, 'y') + "\nquoted=\"" + std::string(1100, 'q') + "\"\n");

    EXPECT_EQ(ReadProfileString(file, "A", "ascii", ""), std::string(999, 'x'));
    // Characters, not bytes: a character is never split.
    EXPECT_EQ(ReadProfileString(file, "A", "chinese", ""), chinese.substr(0, 999 * 3));
    EXPECT_EQ(ReadProfileString(file, "A", "exact", ""), std::string(999, 'y'));
    EXPECT_EQ(ReadProfileString(file, "A", "quoted", ""), std::string(999, 'q'));
    EXPECT_EQ(ReadProfileString(file, "A", "missing", std::string(1000, 'd')),
              std::string(999, 'd'));
}

TEST(ReadProfileString, ReadsUtf16LeFilesAsUtf8) {
    testmedia::TempDir dir;
    const auto file = dir / "utf16.ini";
    WriteBytes(file, initest::Utf16LeFile(u"; 注释\r\n[TISHI]\r\nhbcg=声音已去除 😀\r\n"
                                          u"[Other]\r\nplain=ascii\r\n"));
    EXPECT_EQ(ReadProfileString(file, "tishi", "HBCG", ""), "声音已去除 😀");
    EXPECT_EQ(ReadProfileString(file, "Other", "plain", ""), "ascii");
    EXPECT_EQ(ReadProfileString(file, "Other", "missing", "d"), "d");

    // An unpaired surrogate cannot be UTF-8: it reads as U+FFFD.
    const char16_t broken[] = {u'[', u'A', u']', u'\n', u'k', u'=', 0xD800, u'x', u'\n'};
    WriteBytes(file, initest::Utf16LeFile(std::u16string_view(broken, std::size(broken))));
    EXPECT_EQ(ReadProfileString(file, "A", "k", ""), "\xEF\xBF\xBDx");

    // The UTF-16 byte-order mark alone, or with an odd byte after it.
    WriteBytes(file, "\xFF\xFE");
    EXPECT_EQ(ReadProfileString(file, "A", "k", "d"), "d");
    WriteBytes(file, "\xFF\xFE[");
    EXPECT_EQ(ReadProfileString(file, "A", "k", "d"), "d");
}

TEST(ReadProfileString, SurvivesBinaryFiles) {
    testmedia::TempDir dir;
    const auto file = dir / "binary.ini";
    std::mt19937 random(12345);
    // Bytes that mean something to the reader turn up often.
    const std::string special("[]=;\"'\r\n \t\0\xFF\xFE\xEF\xBB\xBF", 16);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(4096, '\0');
        for (char& b : bytes) {
            b = random() % 3 == 0 ? special[random() % special.size()]
                                  : static_cast<char>(random());
        }
        if (round % 2 == 1) bytes.replace(0, 2, "\xFF\xFE");  // as UTF-16
        WriteBytes(file, bytes + "\n[Known]\nkey=found\n");
        const std::string read = ReadProfileString(file, "Known", "key", "");
        if (round % 2 == 0) {
            EXPECT_EQ(read, "found") << "round " << round;
        }
        ReadProfileString(file, "A", "k", "d");
        ReadProfileString(file, "", "", "d");
    }
}

TEST(ReadProfileString, ReadsA10MegabyteFile) {
    testmedia::TempDir dir;
    const auto file = dir / "big.ini";
    std::string bytes;
    for (int section = 0; bytes.size() < 10'000'000; ++section) {
        bytes += "[S" + std::to_string(section) + "]\r\n";
        for (int k = 0; k < 20; ++k)
            bytes += "key" + std::to_string(k) + "=" + std::string(40, 'v') + "\r\n";
    }
    bytes += "[Last]\r\nkey=end";
    WriteBytes(file, bytes);
    EXPECT_EQ(ReadProfileString(file, "last", "KEY", ""), "end");
    EXPECT_EQ(ReadProfileString(file, "S0", "key19", ""), std::string(40, 'v'));

    // One line of 10 MB without a line end.
    WriteBytes(file, "[A]\nk=" + std::string(10'000'000, 'z'));
    EXPECT_EQ(ReadProfileString(file, "A", "k", ""), std::string(999, 'z'));
}

}  // namespace
