// velmora-cli -j N: several files probed and copied at once, each by an
// engine of its own, with the report, the outputs and the output names of a
// run that takes one file after the other.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

// What an input is made of: a clip of the suite in one container, a sound
// file (refused by the probe), or a "fast start" MP4 cut short right after
// its index, whose index opens fine but whose first picture is cut in two
// (the copy fails: there is nothing to copy).
fs::path Source(const std::string& kind, const fs::path& scratch) {
    if (kind == "audio") return clitest::AudioOnly();
    if (kind == "cut") {
        const fs::path whole = testmedia::Make(
            "cli_jobs_faststart.mp4",
            "-i " + testmedia::Quote(clitest::Clip("mp4")) + " -c copy -movflags +faststart");
        const std::string firstPicture = testmedia::Run(
            "ffprobe -v error -select_streams v:0 -show_entries packet=pos -of csv=p=0 " +
            testmedia::Quote(whole.string()));
        const fs::path cut = scratch / "cut.mp4";
        fs::copy_file(whole, cut, fs::copy_options::overwrite_existing);
        fs::resize_file(cut, std::stoull(firstPicture) + 16);
        return cut;
    }
    return clitest::Clip(kind);
}

struct Input {
    std::string name;  // below the run's folder
    std::string kind;  // see Source()
    std::string line;  // how its report line starts
};

// Mixed containers, a refused and a failing file, and three inputs named
// a.mp4 whose outputs are numbered in the order of the command line (the
// refused one among them takes no name), next to an output folder that
// already holds a b.mkv.
const std::vector<Input> kInputs = {
    {"in/a.mp4", "mp4", "done     in/a.mp4 -> out/a.mp4"},
    {"in/b.mkv", "mkv", "done     in/b.mkv -> out/b(0).mkv"},
    {"in/song.m4a", "audio", "refused  in/song.m4a: not a video file"},
    {"in/c.ts", "ts", "done     in/c.ts -> out/c.ts"},
    {"in/cut.mp4", "cut", "failed   in/cut.mp4: the file is cut short before its first picture"},
    {"in/d.avi", "avi", "done     in/d.avi -> out/d.avi"},
    {"x/a.mp4", "mkv", "done     x/a.mp4 -> out/a(0).mp4"},
    {"y/a.mp4", "audio", "refused  y/a.mp4: not a video file"},
    {"z/a.mp4", "mp4", "done     z/a.mp4 -> out/a(1).mp4"},
    {"in/e.ts", "ts", "done     in/e.ts -> out/e.ts"},
};

struct RunOutcome {
    clitest::Result result;
    std::map<std::string, std::vector<std::string>> outputs;  // name in out/ -> video hashes
};

RunOutcome RunWithJobs(const std::string& jobs, const std::vector<std::string>& extra = {}) {
    testmedia::TempDir cwd;
    std::vector<std::string> args = {"-j", jobs, "-o", "out"};
    args.insert(args.end(), extra.begin(), extra.end());
    for (const auto& input : kInputs) {
        clitest::CopyTo(Source(input.kind, cwd.path()), cwd / input.name);
        args.push_back(input.name);
    }
    fs::create_directories(cwd / "out");
    testmedia::Run("printf taken > " + testmedia::Quote((cwd / "out" / "b.mkv").string()));

    RunOutcome run;
    run.result = clitest::Run(args, cwd.path());
    for (const auto& name : testmedia::FilesIn(cwd / "out"))
        run.outputs[name] =
            name == "b.mkv" ? std::vector<std::string>{} : clitest::VideoHashes(cwd / "out" / name);
    return run;
}

class CliJobs : public testing::TestWithParam<const char*> {};

// The report is the same line for line, in the order of the command line,
// and every output holds its input's video packets.
TEST_P(CliJobs, SameReportAndOutputsAsOneFileAfterTheOther) {
    const RunOutcome one = RunWithJobs("1", {"-q"});
    const RunOutcome several = RunWithJobs(GetParam(), {"-q"});
    EXPECT_EQ(several.result.exitCode, 1) << several.result.err;  // refused and failed files
    EXPECT_EQ(several.result.out, one.result.out);
    EXPECT_EQ(several.outputs, one.outputs);

    const auto lines = clitest::Lines(several.result.out);
    ASSERT_EQ(lines.size(), kInputs.size()) << several.result.out;
    for (size_t i = 0; i < kInputs.size(); ++i) {
        const Input& input = kInputs[i];
        EXPECT_EQ(lines[i].rfind(input.line, 0), 0u) << lines[i];
        if (input.line.rfind("done", 0) != 0) continue;
        const std::string output = input.line.substr(input.line.rfind("out/") + 4);
        ASSERT_TRUE(several.outputs.count(output)) << output;
        EXPECT_EQ(several.outputs.at(output), clitest::VideoHashes(Source(input.kind, {})))
            << output;
    }
    // Only the finished outputs and the file that was there: no temporary
    // file is left behind, the failed file leaves nothing.
    EXPECT_EQ(several.outputs.size(), 8u);
    // Quiet: standard error holds only the refusals.
    for (const auto& line : clitest::Lines(several.result.err))
        EXPECT_NE(line.find(": refused: "), std::string::npos) << line;
}

// The JSON report too, with the sizes and numbers of each file.
TEST_P(CliJobs, SameJsonReport) {
    const RunOutcome one = RunWithJobs("1", {"--json"});
    const RunOutcome several = RunWithJobs(GetParam(), {"--json"});
    EXPECT_EQ(several.result.out, one.result.out);
    EXPECT_EQ(clitest::Lines(several.result.out).size(), kInputs.size());
}

INSTANTIATE_TEST_SUITE_P(Jobs, CliJobs, testing::Values("2", "3", "16"),
                         [](const auto& info) { return "j" + std::string(info.param); });

// -j takes a whole number of files from 1 to 16.
TEST(CliJobsUsage, RefusesOtherValues) {
    const std::vector<std::vector<std::string>> cases = {
        {"-j", "0", "a.mp4"},      {"-j17", "a.mp4"},           {"--jobs=x", "a.mp4"},
        {"--jobs", "2x", "a.mp4"}, {"-j", "-1", "a.mp4"},       {"a.mp4", "-j"},
        {"--jobs=", "a.mp4"},      {"--probe", "-j2", "a.mp4"},
    };
    testmedia::TempDir cwd;
    for (const auto& args : cases) {
        const auto result = clitest::Run(args, cwd.path());
        EXPECT_EQ(result.exitCode, 2) << args[0] << " " << args[1];
        EXPECT_EQ(result.out, "");
        const bool probe = args[0] == "--probe";
        EXPECT_NE(result.err.find(probe ? "-j has no use with --probe"
                                        : "takes a number of files from 1 to 16"),
                  std::string::npos)
            << result.err;
    }
}

}  // namespace
