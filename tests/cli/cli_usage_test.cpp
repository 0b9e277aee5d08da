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
    EXPECT_EQ(version.out.rfind(std::string("velmora-cli ") + VELMORA_VERSION + " ", 0), 0u)
        << version.out;
}

TEST(CliUsage, UsageErrorsExitWithTwoAndTouchNothing) {
    const std::string clip = clitest::Clip("mp4").string();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no file given"},
        {{"-q"}, "no file given"},
        {{"--frobnicate", clip}, "unknown option --frobnicate"},
        {{clip, "-o"}, "option -o needs a folder"},
        {{"--json", clip}, "--json goes with --probe"},
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
        EXPECT_NE(result.err.find("--help"), std::string::npos);
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
