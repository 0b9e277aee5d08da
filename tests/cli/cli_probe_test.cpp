#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

// A number ffprobe reports about a file, e.g. "format=duration".
double FfprobeNumber(const fs::path& file, const std::string& entries, const std::string& select) {
    const std::string out =
        testmedia::Run("ffprobe -v error " + select + " -show_entries " + entries +
                       " -of default=nw=1:nk=1 " + testmedia::Quote(file.string()));
    return std::stod(out);
}

std::string ExpectedDuration(const fs::path& file) {
    const long long us = std::llround(FfprobeNumber(file, "format=duration", "") * 1e6);
    const long long ms = us / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

std::string ExpectedKbps(const fs::path& file) {
    const long long bps = std::llround(FfprobeNumber(file, "stream=bit_rate", "-select_streams v"));
    return std::to_string(bps / 1000) + "kbps";
}

TEST(CliProbe, PrintsTheCellsOfTheFileList) {
    testmedia::TempDir cwd;
    const fs::path clip = clitest::Clip("mp4");
    const auto result = clitest::Run({"--probe", clip.string()}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, clip.string() + "\tmp4\t" + ExpectedDuration(clip) + "\t160*120\t" +
                              ExpectedKbps(clip) + "\t25.00fps\t100\tHigh\n");
    EXPECT_EQ(result.err, "");
}

TEST(CliProbe, FrameRatesAreShownWithTwoDecimalsInFiveColumns) {
    const std::pair<std::string, std::string> cases[] = {
        {"8", " 8.00fps"}, {"30000/1001", "29.97fps"}, {"120", "120.00fps"}};
    for (const auto& [rate, cell] : cases) {
        std::string name = "cli_rate_" + rate + ".mkv";
        for (char& c : name)
            if (c == '/') c = '_';
        const fs::path file = testmedia::Make(
            name, "-f lavfi -i testsrc=duration=1:size=64x48:rate=" + rate + " -c:v mpeg4");
        testmedia::TempDir cwd;
        const auto result = clitest::Run({"--probe", file.string()}, cwd.path());
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_NE(result.out.find("\t64*48\t"), std::string::npos) << result.out;
        EXPECT_NE(result.out.find("\t" + cell + "\t"), std::string::npos) << result.out;
    }
}

// The profile's name beside its number, as ffprobe names it; a video
// whose codec has no profiles has no name (an empty cell, null in JSON).
TEST(CliProbe, NamesTheProfile) {
    struct NameCase {
        fs::path file;
        std::string profile;
    };
    const NameCase cases[] = {
        {clitest::Clip("mp4"), "100"},
        {testmedia::Make("cli_main.mp4",
                         "-f lavfi -i testsrc=duration=1:size=64x48:rate=25 -pix_fmt yuv420p "
                         "-c:v libx264 -profile:v main"),
         "77"},
        {testmedia::Make("cli_v210_400fps.mov",
                         "-f lavfi -i testsrc=size=640x480:rate=400 -frames:v 4 -c:v v210"),
         "-99"},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.file.filename().string());
        const std::string named = testmedia::Run(
            "ffprobe -v error -select_streams v:0 -show_entries stream=profile "
            "-of default=nw=1:nk=1 " +
            testmedia::Quote(c.file.string()));
        // ffprobe writes "unknown" for a profile without a name.
        std::string name = named.substr(0, named.find('\n'));
        if (name == "unknown") name.clear();
        testmedia::TempDir cwd;
        const auto text = clitest::Run({"--probe", c.file.string()}, cwd.path());
        EXPECT_EQ(text.exitCode, 0) << text.err;
        EXPECT_NE(text.out.find("fps\t" + c.profile + "\t" + name + "\n"), std::string::npos)
            << text.out;

        const auto json = clitest::Run({"--probe", "--json", c.file.string()}, cwd.path());
        const auto fields = clitest::ParseFlatJson(clitest::Lines(json.out).at(0));
        ASSERT_TRUE(fields) << json.out;
        EXPECT_EQ(fields->at("profile").text, c.profile);
        if (name.empty()) {
            EXPECT_EQ(fields->at("profile_name").kind, clitest::JsonValue::Kind::kNull);
        } else {
            EXPECT_EQ(fields->at("profile_name").text, name);
        }
    }
}

// Raw video can go beyond 2^31 bit/s: its whole rate is shown, in the cell
// and as the number.
TEST(CliProbe, ABitRateBeyond32Bits) {
    const fs::path file = testmedia::Make(
        "cli_v210_400fps.mov", "-f lavfi -i testsrc=size=640x480:rate=400 -frames:v 4 -c:v v210");
    const long long bps = std::llround(FfprobeNumber(file, "stream=bit_rate", "-select_streams v"));
    ASSERT_GT(bps, 2147483647LL);
    testmedia::TempDir cwd;
    const auto text = clitest::Run({"--probe", file.string()}, cwd.path());
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("\t640*480\t" + ExpectedKbps(file) + "\t"), std::string::npos)
        << text.out;
    const auto json = clitest::Run({"--probe", "--json", file.string()}, cwd.path());
    const auto fields = clitest::ParseFlatJson(clitest::Lines(json.out).at(0));
    ASSERT_TRUE(fields) << json.out;
    EXPECT_EQ(fields->at("bit_rate").number, static_cast<double>(bps));
    EXPECT_EQ(fields->at("bitrate").text, ExpectedKbps(file));
}

// Matroska does not tell the video's bit rate: the cell stays empty, as the
// window's list shows it, not a made-up "0kbps".
TEST(CliProbe, AnUnknownBitRateIsAnEmptyCell) {
    const fs::path file = testmedia::Make(
        "cli_no_bitrate.mkv", "-f lavfi -i testsrc=duration=1:size=64x48:rate=25 -c:v mpeg4");
    testmedia::TempDir cwd;
    const auto result = clitest::Run({"--probe", file.string()}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\t64*48\t\t25.00fps\t"), std::string::npos) << result.out;
}

// A name whose bytes are not UTF-8 stays recoverable in JSON: each such
// byte is written as U+DC80..U+DCFF.
TEST(CliProbe, JsonKeepsNamesThatAreNotUtf8) {
    testmedia::TempDir cwd;
    const std::string name = "caf\xe9.mp4";  // Latin-1
    clitest::CopyTo(clitest::Clip("mp4"), cwd / name);
    const auto result = clitest::Run({"--probe", "--json", name}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.rfind(R"({"schema":1,"path":"caf\udce9.mp4",)", 0), 0u) << result.out;
}

// Quotes, backslashes, control characters and other scripts in a name stay
// valid JSON; a name that looks like a URL is still read as a file.
TEST(CliProbe, JsonEscapesNames) {
    testmedia::TempDir cwd;
    const std::string name = "we\"ird \\ näme\t视频.mp4";
    clitest::CopyTo(clitest::Clip("mp4"), cwd / name);
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "clip:1.mp4");
    const auto result = clitest::Run({"--probe", "--json", name, "clip:1.mp4"}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto lines = clitest::Lines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_EQ(
        lines[0].rfind(R"({"schema":1,"path":"we\"ird \\ näme\t视频.mp4","extension":"mp4",)", 0),
        0u)
        << lines[0];
    EXPECT_NE(lines[0].find(R"("size":"160*120","bitrate":")"), std::string::npos);
    EXPECT_NE(lines[0].find(R"("fps":"25.00fps","profile":"100",)"), std::string::npos);
    EXPECT_EQ(lines[1].rfind(
                  R"({"schema":1,"path":"clip:1.mp4","extension":"mp4","duration":"00:00:0)", 0),
              0u)
        << lines[1];
}

struct Refusal {
    const char* label;
    std::string file;  // in the working folder
    std::string why;
};

TEST(CliProbe, RefusedFilesAreNamedWithTheReason) {
    testmedia::TempDir cwd;
    std::ofstream(cwd / "empty.mp4").close();
    std::ofstream(cwd / "noise.mp4")
        << "\x13\x37 not media at all \x01\x02" << std::string(4000, 'k');
    clitest::CopyTo(clitest::AudioOnly(), cwd / "song.m4a");
    // A clip cut in the middle loses the index at its end.
    const fs::path clip = clitest::Clip("mp4");
    clitest::CopyTo(clip, cwd / "cut.mp4");
    fs::resize_file(cwd / "cut.mp4", fs::file_size(clip) / 2);
    fs::create_directory(cwd / "folder.mp4");

    const Refusal cases[] = {
        {"missing", "absent.mp4", "no such file"},
        {"empty", "empty.mp4", "the file is empty"},
        {"random bytes", "noise.mp4", "not a video file"},
        {"audio only", "song.m4a", "not a video file"},
        {"truncated", "cut.mp4", "not a video file"},
        {"folder", "folder.mp4", "it is a folder, not a file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto result = clitest::Run({"--probe", c.file, clip.string()}, cwd.path());
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("velmora-cli: " + c.file + ": refused: " + c.why),
                  std::string::npos)
            << result.err;
        // The good file after it is still probed.
        EXPECT_EQ(result.out.rfind(clip.string() + "\tmp4\t", 0), 0u) << result.out;

        const auto json = clitest::Run({"--probe", "--json", c.file}, cwd.path());
        EXPECT_EQ(json.exitCode, 1);
        EXPECT_EQ(
            json.out.rfind("{\"schema\":1,\"path\":\"" + c.file + "\",\"error\":\"" + c.why, 0), 0u)
            << json.out;
    }
}

}  // namespace
