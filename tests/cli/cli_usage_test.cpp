#include <gtest/gtest.h>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

TEST(CliUsage, HelpAndVersion) {
    testmedia::TempDir cwd;
    const auto help = clitest::Run({"--help"}, cwd.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: velmora-cli [-o DIR]"), std::string::npos);
    EXPECT_NE(help.out.find("--probe"), std::string::npos);
    EXPECT_EQ(help.err, "");

    const auto version = clitest::Run({"--version"}, cwd.path());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind(std::string("velmora-cli ") + VELMORA_VERSION + "\n", 0), 0u)
        << version.out;
    // The libraries it runs on are the system's, as ffprobe reports them:
    // "libavformat    59. 27.100 / 59. 27.100", the second being the runtime's.
    const std::string ffprobe = testmedia::Run("ffprobe -version");
    for (const std::string lib : {"libavformat", "libavcodec", "libavutil"}) {
        SCOPED_TRACE(lib);
        std::string runtime;
        for (const auto& line : clitest::Lines(ffprobe)) {
            if (line.rfind(lib + " ", 0) != 0) continue;
            const std::string numbers = line.substr(line.find('/') + 1);
            for (char c : numbers)
                if (c != ' ') runtime += c;
        }
        ASSERT_FALSE(runtime.empty()) << ffprobe;
        const size_t running = version.out.find("running on  ");
        ASSERT_NE(running, std::string::npos) << version.out;
        EXPECT_NE(version.out.find(lib + " " + runtime, running), std::string::npos) << version.out;
    }
    EXPECT_NE(version.out.find("built with  libavformat "), std::string::npos) << version.out;
}

TEST(CliUsage, UsageErrorsExitWithTwoAndTouchNothing) {
    const std::string clip = clitest::Clip("mp4").string();
    const std::string kDash =
        "\"-\" is not a file name; use --files-from - for a list on standard input, ./- for a "
        "file named -";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no file given"},
        {{"-q"}, "no file given"},
        {{"--frobnicate", clip}, "unknown option --frobnicate"},
        {{clip, "-o"}, "option -o needs a folder"},
        {{"-"}, kDash},
        {{clip, "-"}, kDash},
        {{"--", "-"}, kDash},
        {{"-0", clip}, "-0 goes with --files-from"},
        {{"--files-from"}, "option --files-from needs a file (- for standard input)"},
        {{"--files-from", "-", "--files-from=-"}, "standard input can be read only once"},
        {{"--files-from", "absent.txt"},
         "cannot read the list absent.txt: No such file or directory"},
        {{"--if-exists", "replace", clip}, "option --if-exists takes rename or skip"},
        {{"--if-exists"}, "option --if-exists takes rename or skip"},
        {{"--keep-tree", clip}, "no file given"},
        {{"--keep-tree=", clip}, "option --keep-tree needs a folder"},
        {{"--probe", "-n", clip},
         "--dry-run, --keep-tree and --if-exists have no use with --probe"},
        {{"--probe", "-o", ".", clip}, "-o has no use with --probe"},
        {{"-o", "", clip}, "the output folder name is empty"},
    };
    for (const auto& [args, message] : cases) {
        testmedia::TempDir cwd;
        const auto result = clitest::Run(args, cwd.path());
        SCOPED_TRACE(message);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find("velmora-cli: " + message + "\n"), std::string::npos)
            << result.err;
        if (message.rfind("cannot read", 0) != 0) {
            EXPECT_NE(result.err.find("--help"), std::string::npos) << result.err;
        }
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(fs::is_empty(cwd.path()));
    }
}

// After "--" a name that starts with a dash is a file.
TEST(CliUsage, DoubleDashEndsTheOptions) {
    testmedia::TempDir cwd;
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "-q.mp4");
    fs::create_directory(cwd / "out");
    const auto result = clitest::Run({"-o", "out", "--", "-q.mp4"}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(cwd / "out" / "-q.mp4"));
}

}  // namespace
