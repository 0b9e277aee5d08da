#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

using testmedia::ReadAll;

// The output holds the input's video packets, byte for byte, starting at 0
// (a transport stream at its writer's buffer time), and no sound. With
// B-frames the pts cannot start there (the dts would be earlier): the dts
// does.
void ExpectSilentCopy(const fs::path& input, const fs::path& output) {
    SCOPED_TRACE(output.string());
    ASSERT_TRUE(fs::exists(output));
    EXPECT_EQ(clitest::VideoHashes(output), clitest::VideoHashes(input));
    EXPECT_TRUE(clitest::HasNoAudioPackets(output));
    const auto packets = testmedia::Packets(output);
    ASSERT_FALSE(packets.empty());
    std::int64_t firstPts = INT64_MAX;
    std::int64_t firstDts = INT64_MAX;
    for (const auto& p : packets) {
        if (p.pts) firstPts = std::min(firstPts, *p.pts);
        if (p.dts) firstDts = std::min(firstDts, *p.dts);
    }
    const std::int64_t start = testmedia::FormatName(output) == "mpegts"
                                   ? std::llround(testmedia::kTransportStreamStart * 90000)
                                   : 0;
    EXPECT_TRUE(firstPts == start || firstDts == start) << firstPts << " " << firstDts;
}

TEST(CliConvert, EveryFileSucceeds) {
    testmedia::TempDir cwd;
    const fs::path mp4 = clitest::CopyTo(clitest::Clip("mp4"), cwd / "in" / "a.mp4");
    const fs::path mkv = clitest::CopyTo(clitest::Clip("mkv"), cwd / "in" / "b.mkv");
    const fs::path ts = clitest::CopyTo(clitest::Clip("ts"), cwd / "in" / "c.ts");
    fs::create_directory(cwd / "out");

    const auto result =
        clitest::Run({"-q", "-o", "out", "in/a.mp4", "in/b.mkv", "in/c.ts"}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "done     in/a.mp4 -> out/a.mp4\n"
              "done     in/b.mkv -> out/b.mkv\n"
              "done     in/c.ts -> out/c.ts\n");
    EXPECT_EQ(result.err, "");
    ExpectSilentCopy(mp4, cwd / "out" / "a.mp4");
    ExpectSilentCopy(mkv, cwd / "out" / "b.mkv");
    ExpectSilentCopy(ts, cwd / "out" / "c.ts");
}

TEST(CliConvert, TheCurrentFolderIsTheDefault) {
    testmedia::TempDir cwd;
    const fs::path clip = clitest::Clip("mp4");
    const auto result = clitest::Run({"-q", clip.string()}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "done     " + clip.string() + " -> ./cli_clip.mp4\n");
    ExpectSilentCopy(clip, cwd / "cli_clip.mp4");
}

// Nothing that is already there is replaced, and two inputs of the same name
// do not replace each other.
TEST(CliConvert, OutputsGetUniqueNames) {
    testmedia::TempDir cwd;
    const fs::path clip = clitest::Clip("mp4");
    clitest::CopyTo(clip, cwd / "x" / "a.mp4");
    clitest::CopyTo(clitest::Clip("mkv"), cwd / "y" / "a.mp4");  // Matroska inside
    fs::create_directory(cwd / "out");
    std::ofstream(cwd / "out" / "a.mp4") << "the user's own file";

    const auto result = clitest::Run({"-q", "-o", "out", "x/a.mp4", "y/a.mp4"}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "done     x/a.mp4 -> out/a(0).mp4\n"
              "done     y/a.mp4 -> out/a(1).mp4 (a Matroska file named .mp4, copied as "
              "Matroska)\n");
    EXPECT_EQ(ReadAll(cwd / "out" / "a.mp4"), "the user's own file");
    ExpectSilentCopy(cwd / "x" / "a.mp4", cwd / "out" / "a(0).mp4");
    ExpectSilentCopy(cwd / "y" / "a.mp4", cwd / "out" / "a(1).mp4");
}

TEST(CliConvert, NamesWithSpacesAndOtherScripts) {
    testmedia::TempDir cwd;
    const std::string name = "mein Film – 视频 ü.mkv";
    clitest::CopyTo(clitest::Clip("mkv"), cwd / "Quelle ä" / name);
    fs::create_directory(cwd / "Ziel 目标");
    const auto result = clitest::Run({"-q", "-o", "Ziel 目标", "Quelle ä/" + name}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "done     Quelle ä/" + name + " -> Ziel 目标/" + name + "\n");
    ExpectSilentCopy(cwd / "Quelle ä" / name, cwd / "Ziel 目标" / name);
}

// Refused and failed files are reported; every other file is still done.
TEST(CliConvert, BadFilesFailAndTheOthersGoOn) {
    testmedia::TempDir cwd;
    const fs::path clip = clitest::Clip("mp4");
    clitest::CopyTo(clip, cwd / "a.mp4");
    clitest::CopyTo(clip, cwd / "movie");                 // no extension
    clitest::CopyTo(clitest::RealMedia(), cwd / "b.rm");  // its writer changes the video
    clitest::CopyTo(clitest::AudioOnly(), cwd / "song.m4a");
    clitest::CopyTo(clitest::Clip("mkv"), cwd / "c.mkv");
    fs::create_directory(cwd / "out");

    const auto result = clitest::Run(
        {"-q", "-o", "out", "a.mp4", "movie", "b.rm", "song.m4a", "c.mkv"}, cwd.path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out,
              "done     a.mp4 -> out/a.mp4\n"
              "refused  movie: the name has no extension, so no container can be chosen for "
              "the output\n"
              "refused  b.rm: FFmpeg's RealMedia writer does not keep the video packets as they "
              "are, so a copy would not be the same video; the file is not copied\n"
              "refused  song.m4a: not a video file: FFmpeg cannot read it as media, or it has "
              "no video stream\n"
              "done     c.mkv -> out/c.mkv\n");
    EXPECT_NE(result.err.find("velmora-cli: song.m4a: refused: not a video file"),
              std::string::npos)
        << result.err;
    ExpectSilentCopy(cwd / "a.mp4", cwd / "out" / "a.mp4");
    ExpectSilentCopy(cwd / "c.mkv", cwd / "out" / "c.mkv");
    EXPECT_FALSE(fs::exists(cwd / "out" / "song.m4a"));
    EXPECT_FALSE(fs::exists(cwd / "out" / "b.rm"));
}

// A file keeps its name, extension and case included, and its own
// container: a name that stands for another container is said in the
// report, in words and in --json.
TEST(CliConvert, AFileIsCopiedInTheContainerItHolds) {
    testmedia::TempDir cwd;
    const std::string av = testmedia::kPicture + " " + testmedia::kSound + " -pix_fmt yuv420p ";
    const fs::path ps = clitest::CopyTo(
        testmedia::Make("cli_ps.vob", av + "-c:v mpeg2video -c:a mp2"), cwd / "in.m2v");
    const fs::path mp4 = clitest::CopyTo(clitest::Clip("mp4"), cwd / "clip.avi");
    const fs::path avchd =
        clitest::CopyTo(testmedia::Make("cli_avchd.m2ts",
                                        av + "-c:v libx264 -c:a ac3 -f mpegts -mpegts_m2ts_mode 1"),
                        cwd / "CAM.MTS");
    fs::create_directory(cwd / "out");

    const auto result =
        clitest::Run({"-q", "-o", "out", "in.m2v", "clip.avi", "CAM.MTS"}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "done     in.m2v -> out/in.m2v (an MPEG-PS file named .m2v, copied as MPEG-PS)\n"
              "done     clip.avi -> out/clip.avi (an MP4 file named .avi, copied as MP4)\n"
              "done     CAM.MTS -> out/CAM.MTS\n");
    EXPECT_EQ(testmedia::FormatName(cwd / "out" / "in.m2v"), "mpeg");
    EXPECT_EQ(testmedia::FormatName(cwd / "out" / "clip.avi"), "mov,mp4,m4a,3gp,3g2,mj2");
    EXPECT_EQ(testmedia::FormatName(cwd / "out" / "CAM.MTS"), "mpegts");
    // 192-byte packets: each 0x47 sync byte comes after a 4-byte time stamp.
    const std::string bytes = ReadAll(cwd / "out" / "CAM.MTS");
    ASSERT_GT(bytes.size(), 200u);
    EXPECT_EQ(bytes[4], '\x47');
    EXPECT_EQ(bytes[196], '\x47');
    for (const auto& [in, name] :
         {std::pair{ps, "in.m2v"}, std::pair{mp4, "clip.avi"}, std::pair{avchd, "CAM.MTS"}})
        EXPECT_EQ(clitest::VideoHashes(cwd / "out" / name), clitest::VideoHashes(in)) << name;

    fs::create_directory(cwd / "json");
    const auto json = clitest::Run({"-q", "--json", "-o", "json", "in.m2v"}, cwd.path());
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const auto fields = clitest::ParseFlatJson(clitest::Lines(json.out).at(0));
    ASSERT_TRUE(fields) << json.out;
    EXPECT_EQ(fields->at("reason").text, "an MPEG-PS file named .m2v, copied as MPEG-PS");
}

// An output name that would grow past the longest name the file system
// takes once "(0)" is added is shortened to fit.
TEST(CliConvert, ANameTooLongForItsNumberIsShortened) {
    testmedia::TempDir cwd;
    const fs::path clip = clitest::Clip("mp4");
    const std::string longName = std::string(251, 'n') + ".mp4";  // 255 bytes
    clitest::CopyTo(clip, cwd / "in" / longName);
    clitest::CopyTo(clip, cwd / "out" / longName);  // taken: the output needs "(0)"
    clitest::CopyTo(clip, cwd / "in" / "after.mp4");
    clitest::CopyTo(clip, cwd / "in" / "before.mp4");

    const auto result = clitest::Run(
        {"-q", "-o", "out", "in/before.mp4", "in/" + longName, "in/after.mp4"}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto lines = clitest::Lines(result.out);
    ASSERT_EQ(lines.size(), 3u) << result.out;
    const std::string shortened = std::string(248, 'n') + "(0).mp4";  // 255 bytes again
    EXPECT_EQ(lines[0], "done     in/before.mp4 -> out/before.mp4");
    EXPECT_EQ(lines[1], "done     in/" + longName + " -> out/" + shortened);
    EXPECT_EQ(lines[2], "done     in/after.mp4 -> out/after.mp4");
    ExpectSilentCopy(clip, cwd / "out" / shortened);
    ExpectSilentCopy(clip, cwd / "out" / "after.mp4");
}

TEST(CliConvert, AnUnusableOutputFolderStopsBeforeAnyWork) {
    testmedia::TempDir cwd;
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "a.mp4");
    std::ofstream(cwd / "file.txt") << "x";
    const std::pair<std::string, std::string> cases[] = {
        {"absent", "the output folder absent does not exist"},
        {"file.txt/sub", "the output folder file.txt/sub does not exist"},
        {"file.txt", "the output folder file.txt is not a folder"},
        {"/proc", "no file can be created in the output folder /proc ("},
    };
    for (const auto& [folder, message] : cases) {
        SCOPED_TRACE(folder);
        const auto before = std::distance(fs::directory_iterator(cwd.path()), {});
        const auto result = clitest::Run({"-o", folder, "a.mp4"}, cwd.path());
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("velmora-cli: " + message), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "skipped  a.mp4: not started\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(cwd.path()), {}), before);
    }
}

// An MP4 with its index at the front, padded with a sparse tail to more than
// the free space: the probe accepts it, the space test refuses the job.
TEST(CliConvert, NotEnoughFreeSpaceStopsBeforeAnyWork) {
    testmedia::TempDir cwd;
    const fs::path big =
        clitest::CopyTo(testmedia::Make("cli_faststart.mp4",
                                        "-f lavfi -i testsrc=duration=1:size=64x48 -c:v libx264 "
                                        "-movflags +faststart"),
                        cwd / "big.mp4");
    std::error_code ec;
    fs::resize_file(big, fs::space(cwd.path()).free + (std::uintmax_t{1} << 30), ec);
    if (ec) GTEST_SKIP() << "no sparse file of that size here: " << ec.message();
    fs::create_directory(cwd / "out");

    const auto result = clitest::Run({"-o", "out", "big.mp4"}, cwd.path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("velmora-cli: not enough free space in the output folder out: the "
                              "files need "),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.out, "skipped  big.mp4: not started\n");
    EXPECT_TRUE(fs::is_empty(cwd / "out"));
}

}  // namespace

namespace {

// A packet without any time cannot go into a Matroska file: it is left out,
// and the line says so. Not every video packet was copied, so the exit
// status is 1, though the file is done.
TEST(CliConvert, LeftOutPacketsAreReported) {
    testmedia::TempDir cwd;
    const fs::path source =
        testmedia::Make("cli_bframes.mp4",
                        "-f lavfi -i testsrc=duration=2:size=160x120:rate=25 -c:v libx264 -bf 2");
    const fs::path untimed = testmedia::Make(
        "cli_untimed.mkv", "-i " + testmedia::Quote(source.string()) +
                               " -c copy -bsf:v 'setts=pts=if(eq(N\\,2)\\,DTS-1\\,PTS)'");
    clitest::CopyTo(untimed, cwd / "in.mkv");
    fs::create_directory(cwd / "out");
    const auto result = clitest::Run({"-q", "-o", "out", "in.mkv"}, cwd.path());
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.out, "done     in.mkv -> out/in.mkv (1 of 50 video packets left out)\n");
    EXPECT_EQ(clitest::VideoHashes(cwd / "out" / "in.mkv").size(), 49u);
}

}  // namespace

namespace {

// A download cut short, its index at the front: the file before the cut,
// how much of it is left, and whether its index counts every packet (MP4)
// or only marks places to seek (Matroska's cues).
struct CutDownload {
    const char* name;
    std::string extension;
    std::string encoding;  // ffmpeg options for the whole file
    double kept;
    bool counted;
};

// The time of the last video packet of `file`, in file order, as time text.
std::string LastPacketTime(const fs::path& file) {
    const auto lines = clitest::Lines(
        testmedia::Run("ffprobe -v error -select_streams v:0 -show_entries packet=pts_time "
                       "-of csv=p=0 " +
                       testmedia::Quote(file.string())));
    const long long ms = std::llround(std::stod(lines.at(lines.size() - 1)) * 1000);
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                  ms / 1000 % 60, ms % 1000);
    return text;
}

// What the file holds is copied, the first packets of the whole file byte
// for byte; the line says how many of the index's video packets are
// missing (ffprobe's count of the whole file less the output's) and where
// the copy ends, and the exit status is 1: the copy is not the whole video.
TEST(CliConvert, ADownloadCutShortIsCopiedAsFarAsItGoes) {
    const std::string sources =
        "-f lavfi -i testsrc2=duration=4:size=320x240:rate=25 -f lavfi -i sine=duration=4 ";
    const CutDownload cases[] = {
        {"mp4 fast start, half", "mp4", "-c:v libx264 -g 25 -c:a aac -movflags +faststart", 0.5,
         true},
        {"mp4 fast start, 80 %", "mp4", "-c:v libx264 -g 25 -c:a aac -movflags +faststart", 0.8,
         true},
        {"mov fast start, half", "mov", "-c:v mpeg4 -c:a pcm_s16le -movflags +faststart", 0.5,
         true},
        {"mkv cues first, half", "mkv", "-c:v libx264 -g 25 -c:a aac -reserve_index_space 4096",
         0.5, false},
    };
    for (const CutDownload& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path whole =
            testmedia::Make("cli_cut_whole." + c.extension, sources + c.encoding);
        testmedia::TempDir cwd;
        const std::string in = "cut." + c.extension;
        const std::string out = "out/" + in;
        clitest::CopyTo(whole, cwd / in);
        fs::resize_file(cwd / in, static_cast<std::uintmax_t>(
                                      static_cast<double>(fs::file_size(whole)) * c.kept));
        fs::create_directory(cwd / "out");

        const auto result = clitest::Run({"-q", "-o", "out", in}, cwd.path());
        EXPECT_EQ(result.exitCode, 1) << result.err;
        const auto all = clitest::VideoHashes(whole);
        const auto copied = clitest::VideoHashes(cwd / out);
        ASSERT_FALSE(copied.empty());
        ASSERT_LT(copied.size(), all.size());
        EXPECT_EQ(copied, std::vector<std::string>(all.begin(), all.begin() + copied.size()));
        EXPECT_TRUE(clitest::HasNoAudioPackets(cwd / out));
        const std::string end = "the file ends at " + LastPacketTime(cwd / out);
        const std::string why = c.counted ? std::to_string(all.size() - copied.size()) + " of " +
                                                std::to_string(all.size()) +
                                                " video packets left out: " + end
                                          : "cut short: " + end;
        EXPECT_EQ(result.out, "done     " + in + " -> " + out + " (" + why + ")\n");

        fs::remove(cwd / out);
        const auto json = clitest::Run({"-q", "--json", "-o", "out", in}, cwd.path());
        EXPECT_EQ(json.exitCode, 1) << json.err;
        const auto fields = clitest::ParseFlatJson(clitest::Lines(json.out).at(0));
        ASSERT_TRUE(fields) << json.out;
        EXPECT_EQ(fields->at("status").text, "done");
        EXPECT_EQ(fields->at("reason").text, why);
        EXPECT_EQ(fields->at("packets").number, static_cast<double>(copied.size()));
        EXPECT_EQ(fields->at("left_out").number,
                  c.counted ? static_cast<double>(all.size() - copied.size()) : 0.0);
        EXPECT_EQ(fields->at("file_end").kind, clitest::JsonValue::Kind::kNumber);
    }
}

}  // namespace
