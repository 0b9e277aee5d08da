// The batch options of velmora-cli: lists of files, re-runs that only do
// what is left, outputs that keep their folders, a plan without work and
// one JSON object per file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <set>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every file below `folder` (relative, sorted), folders left out.
std::set<std::string> FilesBelow(const fs::path& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_directory()) files.insert(fs::relative(entry.path(), folder).string());
    return files;
}

// What tells one written file from another: its inode and change time.
std::map<std::string, std::pair<ino_t, long long>> Identities(const fs::path& folder) {
    std::map<std::string, std::pair<ino_t, long long>> ids;
    for (const auto& name : FilesBelow(folder)) {
        struct stat info {};
        stat((folder / name).c_str(), &info);
        ids[name] = {info.st_ino, info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec};
    }
    return ids;
}

void ExpectCopyOf(const fs::path& input, const fs::path& output) {
    SCOPED_TRACE(output.string());
    ASSERT_TRUE(fs::exists(output));
    EXPECT_EQ(clitest::VideoHashes(output), clitest::VideoHashes(input));
    EXPECT_TRUE(clitest::HasNoAudioPackets(output));
}

struct ListCase {
    const char* label;
    std::string list;                   // the bytes of the list
    bool nul;                           // -0
    bool standardInput;                 // the list comes on standard input
    std::vector<std::string> expected;  // file names written into out/
};

// A list names files one per line, or NUL-separated so that a name may hold
// a newline; from a file or from standard input; after the command line's.
TEST(CliBatch, FilesFromAList) {
    const std::string newline = "new\nline.mp4";
    const ListCase cases[] = {
        {"lines", "in/a.mp4\nin/b c.mkv\n\n", false, false, {"a.mp4", "b c.mkv"}},
        {"lines, no last newline", "in/a.mp4\nin/b c.mkv", false, false, {"a.mp4", "b c.mkv"}},
        {"NUL",
         "in/" + newline + std::string(1, '\0') + "in/a.mp4" + std::string(1, '\0'),
         true,
         false,
         {newline, "a.mp4"}},
        {"lines on stdin", "in/b c.mkv\nin/a.mp4\n", false, true, {"b c.mkv", "a.mp4"}},
        {"NUL on stdin",
         "in/a.mp4" + std::string(1, '\0') + "in/" + newline,
         true,
         true,
         {"a.mp4", newline}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        testmedia::TempDir cwd;
        clitest::CopyTo(clitest::Clip("mp4"), cwd / "in" / "a.mp4");
        clitest::CopyTo(clitest::Clip("mkv"), cwd / "in" / "b c.mkv");
        clitest::CopyTo(clitest::Clip("mp4"), cwd / "in" / newline);
        clitest::CopyTo(clitest::Clip("ts"), cwd / "first.ts");
        fs::create_directory(cwd / "out");
        WriteFile(cwd / "list", c.list);

        std::vector<std::string> args = {
            "-q", "-o", "out", "first.ts", "--files-from", c.standardInput ? "-" : "list"};
        if (c.nul) args.push_back("-0");
        const auto result =
            clitest::Run(args, cwd.path(), c.standardInput ? cwd / "list" : fs::path());
        EXPECT_EQ(result.exitCode, 0) << result.err;

        std::string expectedOut = "done     first.ts -> out/first.ts\n";
        std::set<std::string> expectedFiles = {"first.ts"};
        for (const auto& name : c.expected) {
            std::string shown = name;
            if (const size_t nl = shown.find('\n'); nl != std::string::npos)
                shown.replace(nl, 1, "\\x0a");
            expectedOut += "done     in/" + shown + " -> out/" + shown + "\n";
            expectedFiles.insert(name);
            ExpectCopyOf(cwd / "in" / name, cwd / "out" / name);
        }
        EXPECT_EQ(result.out, expectedOut);
        EXPECT_EQ(FilesBelow(cwd / "out"), expectedFiles);
    }
}

// An empty list is nothing to do, not an error: an empty slice of a batch.
TEST(CliBatch, AnEmptyListDoesNothing) {
    testmedia::TempDir cwd;
    WriteFile(cwd / "list", "\n\n");
    const auto result = clitest::Run({"--files-from", "list"}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(FilesBelow(cwd.path()), std::set<std::string>{"list"});
}

// --if-exists skip: a re-run passes over every finished output and writes
// nothing, and a leftover temporary file (a run killed with SIGKILL) does
// not count as finished. rename, the default, numbers the new output.
TEST(CliBatch, IfExistsSkipDoesOnlyWhatIsLeft) {
    testmedia::TempDir cwd;
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "in" / "a.mp4");
    clitest::CopyTo(clitest::Clip("mkv"), cwd / "in" / "b.mkv");
    clitest::CopyTo(clitest::Clip("ts"), cwd / "in" / "c.ts");
    fs::create_directory(cwd / "out");
    WriteFile(cwd / "out" / "c.ts.velmora-Ab12Cd.part", "half a copy");
    const std::vector<std::string> args = {"-q",  "--if-exists", "skip",    "-o",
                                           "out", "in/a.mp4",    "in/b.mkv"};

    const auto first = clitest::Run(args, cwd.path());
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "done     in/a.mp4 -> out/a.mp4\ndone     in/b.mkv -> out/b.mkv\n");
    const auto written = Identities(cwd / "out");

    auto again = args;
    again.push_back("in/c.ts");
    const auto second = clitest::Run(again, cwd.path());
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.out,
              "skipped  in/a.mp4: out/a.mp4 exists\n"
              "skipped  in/b.mkv: out/b.mkv exists\n"
              "done     in/c.ts -> out/c.ts\n");
    ExpectCopyOf(cwd / "in" / "c.ts", cwd / "out" / "c.ts");
    auto now = Identities(cwd / "out");
    now.erase("c.ts");
    EXPECT_EQ(now, written);  // a.mp4 and b.mkv untouched, the leftover too

    const auto third = clitest::Run(again, cwd.path());
    EXPECT_EQ(third.exitCode, 0) << third.err;
    EXPECT_EQ(clitest::Lines(third.out).size(), 3u);
    EXPECT_EQ(third.out.find("done"), std::string::npos) << third.out;

    const auto renamed =
        clitest::Run({"-q", "-o", "out", "--if-exists", "rename", "in/a.mp4"}, cwd.path());
    EXPECT_EQ(renamed.exitCode, 0) << renamed.err;
    EXPECT_EQ(renamed.out, "done     in/a.mp4 -> out/a(0).mp4\n");
}

// With skip, two inputs of one name would need a numbered name that a
// re-run could not find: the second is refused, and nothing is replaced.
TEST(CliBatch, IfExistsSkipRefusesTwoInputsOfOneName) {
    testmedia::TempDir cwd;
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "x" / "a.mp4");
    clitest::CopyTo(clitest::Clip("mkv"), cwd / "y" / "a.mp4");
    fs::create_directory(cwd / "out");
    const auto result =
        clitest::Run({"-q", "--if-exists", "skip", "-o", "out", "x/a.mp4", "y/a.mp4"}, cwd.path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out,
              "done     x/a.mp4 -> out/a.mp4\n"
              "refused  y/a.mp4: another input of this run has the output name out/a.mp4 "
              "(--keep-tree keeps them apart)\n");
    ExpectCopyOf(cwd / "x" / "a.mp4", cwd / "out" / "a.mp4");
    EXPECT_EQ(FilesBelow(cwd / "out"), std::set<std::string>{"a.mp4"});
}

// --keep-tree: outputs keep their folders below ROOT, so two inputs of one
// name stay apart; an input outside ROOT is refused, and a link in the
// output tree never carries an output out of the output folder.
TEST(CliBatch, KeepTreeKeepsTheFolders) {
    testmedia::TempDir cwd;
    const fs::path mp4 = clitest::Clip("mp4");
    const fs::path mkv = clitest::Clip("mkv");
    clitest::CopyTo(mp4, cwd / "in" / "x" / "a.mp4");
    clitest::CopyTo(mkv, cwd / "in" / "y" / "a.mp4");
    clitest::CopyTo(mp4, cwd / "in" / "x" / "deep" / "b.mp4");
    clitest::CopyTo(mp4, cwd / "in" / "top.mp4");
    clitest::CopyTo(mp4, cwd / "in" / "linked" / "c.mp4");
    clitest::CopyTo(mp4, cwd / "elsewhere.mp4");
    fs::create_directories(cwd / "out");
    fs::create_directories(cwd / "outside");
    fs::create_directory_symlink(cwd / "outside", cwd / "out" / "linked");

    const std::vector<std::string> args = {"-q",
                                           "-o",
                                           "out",
                                           "--keep-tree",
                                           "in",
                                           "in/x/a.mp4",
                                           "in/y/a.mp4",
                                           "in/x/./deep/b.mp4",
                                           "in/top.mp4",
                                           "elsewhere.mp4",
                                           "in/../elsewhere.mp4",
                                           (cwd / "in" / "y" / ".." / "linked" / "c.mp4").string()};

    // The plan already knows the link, and makes no folder.
    auto dryRun = args;
    dryRun.insert(dryRun.begin(), "-n");
    const auto plan = clitest::Run(dryRun, cwd.path());
    EXPECT_EQ(plan.exitCode, 1);
    const auto planned = clitest::Lines(plan.out);
    ASSERT_EQ(planned.size(), 7u) << plan.out;
    EXPECT_EQ(planned[2], "in/x/./deep/b.mp4 -> out/x/deep/b.mp4");
    EXPECT_NE(planned[6].find("out/linked is a link"), std::string::npos) << planned[6];
    EXPECT_EQ(std::distance(fs::directory_iterator(cwd / "out"), {}), 1);  // the link only

    const auto result = clitest::Run(args, cwd.path());
    EXPECT_EQ(result.exitCode, 1);
    const auto lines = clitest::Lines(result.out);
    ASSERT_EQ(lines.size(), 7u) << result.out;
    EXPECT_EQ(lines[0], "done     in/x/a.mp4 -> out/x/a.mp4");
    EXPECT_EQ(
        lines[1],
        "done     in/y/a.mp4 -> out/y/a.mp4 (a Matroska file named .mp4, copied as Matroska)");
    EXPECT_EQ(lines[2], "done     in/x/./deep/b.mp4 -> out/x/deep/b.mp4");
    EXPECT_EQ(lines[3], "done     in/top.mp4 -> out/top.mp4");
    EXPECT_EQ(lines[4], "refused  elsewhere.mp4: not inside the --keep-tree folder in");
    EXPECT_EQ(lines[5], "refused  in/../elsewhere.mp4: not inside the --keep-tree folder in");
    EXPECT_EQ(lines[6].rfind("failed   ", 0), 0u) << lines[6];
    EXPECT_NE(lines[6].find("out/linked is a link; outputs are written only inside the output "
                            "folder"),
              std::string::npos)
        << lines[6];
    ExpectCopyOf(mp4, cwd / "out" / "x" / "a.mp4");
    ExpectCopyOf(mkv, cwd / "out" / "y" / "a.mp4");
    ExpectCopyOf(mp4, cwd / "out" / "x" / "deep" / "b.mp4");
    ExpectCopyOf(mp4, cwd / "out" / "top.mp4");
    EXPECT_TRUE(fs::is_empty(cwd / "outside"));
}

// --dry-run probes and prints the plan, and writes nothing: no output, no
// folder, no test file in the output folder.
TEST(CliBatch, DryRunWritesNothing) {
    testmedia::TempDir cwd;
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "in" / "x" / "a.mp4");
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "in" / "y" / "a.mp4");
    clitest::CopyTo(clitest::AudioOnly(), cwd / "in" / "song.m4a");
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "in" / "flat.mp4");
    fs::create_directories(cwd / "out");
    WriteFile(cwd / "out" / "flat.mp4", "taken");

    struct Case {
        std::vector<std::string> options;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{"--keep-tree", "in"},
         {"in/x/a.mp4 -> out/x/a.mp4", "in/y/a.mp4 -> out/y/a.mp4",
          "refused  in/song.m4a: not a video file: FFmpeg cannot read it as media, or it has no "
          "video stream",
          "in/flat.mp4 -> out/flat(0).mp4"}},
        {{},
         {"in/x/a.mp4 -> out/a.mp4", "in/y/a.mp4 -> out/a(0).mp4",
          "refused  in/song.m4a: not a video file: FFmpeg cannot read it as media, or it has no "
          "video stream",
          "in/flat.mp4 -> out/flat(0).mp4"}},
        {{"--if-exists", "skip", "--keep-tree", "in"},
         {"in/x/a.mp4 -> out/x/a.mp4", "in/y/a.mp4 -> out/y/a.mp4",
          "refused  in/song.m4a: not a video file: FFmpeg cannot read it as media, or it has no "
          "video stream",
          "skipped  in/flat.mp4: out/flat.mp4 exists"}},
    };
    for (const auto& c : cases) {
        for (const char* flag : {"-n", "--dry-run"}) {
            std::vector<std::string> args = {flag, "-o", "out"};
            args.insert(args.end(), c.options.begin(), c.options.end());
            for (const char* in : {"in/x/a.mp4", "in/y/a.mp4", "in/song.m4a", "in/flat.mp4"})
                args.push_back(in);
            const auto before = Identities(cwd.path());
            const auto result = clitest::Run(args, cwd.path());
            SCOPED_TRACE(testing::PrintToString(args));
            EXPECT_EQ(result.exitCode, 1);  // the refused file
            EXPECT_EQ(clitest::Lines(result.out), c.lines) << result.out;
            EXPECT_EQ(Identities(cwd.path()), before);
            EXPECT_EQ(std::distance(fs::recursive_directory_iterator(cwd / "out"), {}), 1);
        }
    }
}

double FfprobeNumber(const fs::path& file, const std::string& entries, const std::string& select) {
    return std::stod(testmedia::Run("ffprobe -v error " + select + " -show_entries " + entries +
                                    " -of default=nw=1:nk=1 " + testmedia::Quote(file.string())));
}

using Fields = std::map<std::string, clitest::JsonValue>;

Fields ParseLine(const std::string& line) {
    const auto fields = clitest::ParseFlatJson(line);
    EXPECT_TRUE(fields.has_value()) << line;
    return fields.value_or(Fields{});
}

void ExpectString(const Fields& f, const std::string& key, const std::string& value) {
    ASSERT_EQ(f.count(key), 1u) << key;
    EXPECT_EQ(f.at(key).kind, clitest::JsonValue::Kind::kString) << key;
    EXPECT_EQ(f.at(key).text, value) << key;
}

void ExpectNull(const Fields& f, const std::string& key) {
    ASSERT_EQ(f.count(key), 1u) << key;
    EXPECT_EQ(f.at(key).kind, clitest::JsonValue::Kind::kNull) << key;
}

double Number(const Fields& f, const std::string& key) {
    EXPECT_EQ(f.count(key), 1u) << key;
    if (f.count(key) == 0) return NAN;
    EXPECT_EQ(f.at(key).kind, clitest::JsonValue::Kind::kNumber) << key;
    return f.at(key).number;
}

// --json for a job: one object per file and line, every field checked
// against ffprobe and the file system; names with a newline and bytes that
// are not UTF-8 come back whole.
TEST(CliBatch, JsonLinesForAJob) {
    testmedia::TempDir cwd;
    const std::string odd = "caf\xe9\nnight.mp4";
    const fs::path clip = clitest::CopyTo(clitest::Clip("mp4"), cwd / "in" / odd);
    clitest::CopyTo(clitest::AudioOnly(), cwd / "in" / "song.m4a");
    fs::create_directory(cwd / "out");
    const std::vector<std::string> args = {"-q", "--json", "--if-exists", "skip",
                                           "-o", "out",    "in/" + odd,   "in/song.m4a"};
    const auto result = clitest::Run(args, cwd.path());
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const auto lines = clitest::Lines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;

    const Fields done = ParseLine(lines[0]);
    EXPECT_EQ(Number(done, "schema"), 1);
    ExpectString(done, "input", "in/" + odd);
    ExpectString(done, "output", "out/" + odd);
    ExpectString(done, "status", "done");
    ExpectNull(done, "reason");
    EXPECT_EQ(Number(done, "bytes"), static_cast<double>(fs::file_size(cwd / "out" / odd)));
    EXPECT_NEAR(Number(done, "duration"), FfprobeNumber(clip, "format=duration", ""), 0.001);
    EXPECT_EQ(Number(done, "packets"), static_cast<double>(clitest::VideoHashes(clip).size()));
    EXPECT_EQ(Number(done, "left_out"), 0);
    ExpectNull(done, "file_end");
    EXPECT_EQ(Number(done, "bit_rate"),
              FfprobeNumber(clip, "stream=bit_rate", "-select_streams v"));
    EXPECT_EQ(Number(done, "frame_rate"), 25);
    ExpectCopyOf(clip, cwd / "out" / odd);

    const Fields refused = ParseLine(lines[1]);
    EXPECT_EQ(Number(refused, "schema"), 1);
    ExpectString(refused, "input", "in/song.m4a");
    ExpectNull(refused, "output");
    ExpectString(refused, "status", "refused");
    ExpectString(refused, "reason",
                 "not a video file: FFmpeg cannot read it as media, or it has no video stream");
    EXPECT_EQ(Number(refused, "bytes"), 0);
    ExpectNull(refused, "duration");
    EXPECT_EQ(Number(refused, "packets"), 0);
    ExpectNull(refused, "bit_rate");
    ExpectNull(refused, "frame_rate");

    // The re-run: skipped, with the size of the finished output.
    const auto again =
        clitest::Run({"-q", "--json", "--if-exists", "skip", "-o", "out", "in/" + odd}, cwd.path());
    EXPECT_EQ(again.exitCode, 0) << again.err;
    const Fields skipped = ParseLine(clitest::Lines(again.out).at(0));
    ExpectString(skipped, "status", "skipped");
    ExpectString(skipped, "output", "out/" + odd);
    ExpectString(skipped, "reason", "the output exists");
    EXPECT_EQ(Number(skipped, "bytes"), static_cast<double>(fs::file_size(cwd / "out" / odd)));

    // The plan of a dry run.
    const auto plan = clitest::Run({"-n", "--json", "-o", "out", "in/" + odd}, cwd.path());
    EXPECT_EQ(plan.exitCode, 0) << plan.err;
    const Fields planned = ParseLine(clitest::Lines(plan.out).at(0));
    ExpectString(planned, "status", "planned");
    ExpectString(planned, "output", "out/caf\xe9\nnight(0).mp4");
    EXPECT_EQ(Number(planned, "frame_rate"), 25);
}

// The probe's JSON holds numbers beside its display texts.
TEST(CliBatch, ProbeJsonHasNumbers) {
    testmedia::TempDir cwd;
    const fs::path clip = clitest::Clip("mp4");
    const auto result = clitest::Run({"--probe", "--json", clip.string()}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const Fields f = ParseLine(clitest::Lines(result.out).at(0));
    EXPECT_EQ(Number(f, "schema"), 1);
    ExpectString(f, "path", clip.string());
    ExpectString(f, "fps", "25.00fps");
    ExpectString(f, "profile", "100");
    ExpectString(f, "profile_name", "High");
    EXPECT_NEAR(Number(f, "duration_seconds"), FfprobeNumber(clip, "format=duration", ""), 0.001);
    EXPECT_EQ(Number(f, "width"), 160);
    EXPECT_EQ(Number(f, "height"), 120);
    EXPECT_EQ(Number(f, "bit_rate"), FfprobeNumber(clip, "stream=bit_rate", "-select_streams v"));
    EXPECT_EQ(Number(f, "frame_rate"), 25);
}

}  // namespace
