// Inputs and situations a careless user or a hostile file brings, run
// through velmora-cli as a user runs it. Each case checks the disk: files
// outside the output folder untouched, no partial file under a final name,
// every reported output a valid copy of its own input.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "cli_test_support.h"
#include "fault_support.h"

namespace faults {
namespace {

using testmedia::TempDir;

// "done     IN -> OUT" lines: what each process says it wrote.
std::map<std::string, std::string> ReportedOutputs(const std::string& out) {
    std::map<std::string, std::string> outputs;
    for (const std::string& line : clitest::Lines(out)) {
        if (line.rfind("done     ", 0) != 0) continue;
        const size_t arrow = line.find(" -> ");
        outputs[line.substr(9, arrow - 9)] = line.substr(arrow + 4);
    }
    return outputs;
}

// ---- Names ------------------------------------------------------------------

// Two runs write the same names into one folder at the same time: both
// succeed, and each reported output holds that run's own video.
TEST(Attack, TwoProcessesWritingTheSameNames) {
    TempDir cwd;
    const fs::path small = clitest::Clip("mp4");
    const fs::path other = testmedia::Make(
        "attack_other.mp4", "-f lavfi -i testsrc2=duration=2:size=176x144:rate=25 -c:v libx264");
    std::vector<std::string> namesA, namesB;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "clip" + std::to_string(i) + ".mp4";
        clitest::CopyTo(small, cwd / "a" / name);
        clitest::CopyTo(other, cwd / "b" / name);
        namesA.push_back("a/" + name);
        namesB.push_back("b/" + name);
    }
    fs::create_directory(cwd / "out");
    std::vector<std::string> argsA{"-q", "-o", "out"}, argsB = argsA;
    argsA.insert(argsA.end(), namesA.begin(), namesA.end());
    argsB.insert(argsB.end(), namesB.begin(), namesB.end());
    clitest::Process first(argsA, cwd.path());
    clitest::Process second(argsB, cwd.path());
    const clitest::Result a = first.Wait(), b = second.Wait();
    ASSERT_EQ(a.exitCode, 0) << a.out << a.err;
    ASSERT_EQ(b.exitCode, 0) << b.out << b.err;

    const auto outputsA = ReportedOutputs(a.out), outputsB = ReportedOutputs(b.out);
    ASSERT_EQ(outputsA.size(), 6u);
    ASSERT_EQ(outputsB.size(), 6u);
    std::set<std::string> all;
    for (const auto& [in, out] : outputsA) {
        EXPECT_EQ(clitest::VideoHashes(cwd / out), clitest::VideoHashes(small)) << out;
        all.insert(out);
    }
    for (const auto& [in, out] : outputsB) {
        EXPECT_EQ(clitest::VideoHashes(cwd / out), clitest::VideoHashes(other)) << out;
        all.insert(out);
    }
    EXPECT_EQ(all.size(), 12u);
    EXPECT_EQ(testmedia::FilesIn(cwd / "out").size(), 12u);
}

// ---- Inputs that would read other files --------------------------------------

struct ForeignCase {
    const char* name;
    // Makes the scene in `cwd`; returns the name given to velmora-cli.
    std::function<std::string(const fs::path&)> make;
};

std::ostream& operator<<(std::ostream& os, const ForeignCase& c) { return os << c.name; }

class ForeignInput : public testing::TestWithParam<ForeignCase> {};

// Each input names something other than one local file: it is refused,
// nothing is written into the output folder, and nothing anywhere changes.
TEST_P(ForeignInput, IsRefusedAndNothingChanges) {
    TempDir cwd;
    fs::create_directory(cwd / "out");
    const std::string name = GetParam().make(cwd.path());
    WriteBytes(cwd / "out" / "in0.ts", "the user's own file");
    const Snapshot before = Snap(cwd.path());
    const clitest::Result result = clitest::Run({"-q", "-o", "out", name}, cwd.path());
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_EQ(result.out.rfind("refused  ", 0), 0u) << result.out;
    EXPECT_EQ(Snap(cwd.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Attack, ForeignInput,
    testing::Values(
        // An image-sequence pattern over the user's pictures.
        ForeignCase{"image_sequence_pattern",
                    [](const fs::path& cwd) {
                        testmedia::Run("cd " + testmedia::Quote(cwd.string()) +
                                       " && ffmpeg -nostdin -v quiet -f lavfi -i "
                                       "testsrc=duration=0.2:size=64x48:rate=25 -start_number 0 "
                                       "x%d.png");
                        return std::string("x%d.png");
                    }},
        // A playlist of local segments, one of which has the name of a file
        // already in the output folder.
        ForeignCase{"hls_playlist",
                    [](const fs::path& cwd) {
                        clitest::CopyTo(clitest::Clip("ts"), cwd / "in0.ts");
                        WriteBytes(cwd / "in.m3u8",
                                   "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\nin0.ts\n"
                                   "#EXT-X-ENDLIST\n");
                        return std::string("in.m3u8");
                    }},
        // A text file named like a video that holds a playlist naming
        // another local file.
        ForeignCase{"playlist_named_mp4",
                    [](const fs::path& cwd) {
                        clitest::CopyTo(clitest::Clip("ts"), cwd / "secret" / "other.ts");
                        WriteBytes(cwd / "disguised.mp4",
                                   "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n" +
                                       (cwd / "secret" / "other.ts").string() +
                                       "\n#EXT-X-ENDLIST\n");
                        return std::string("disguised.mp4");
                    }},
        // A concat list.
        ForeignCase{"concat_list",
                    [](const fs::path& cwd) {
                        clitest::CopyTo(clitest::Clip("mp4"), cwd / "part.mp4");
                        WriteBytes(cwd / "list.ffconcat", "ffconcat version 1.0\nfile part.mp4\n");
                        return std::string("list.ffconcat");
                    }},
        // Protocol-like names that name no file.
        ForeignCase{"pipe_protocol",
                    [](const fs::path&) { return std::string("pipe:/nothing.ts"); }},
        ForeignCase{"subfile_protocol",
                    [](const fs::path& cwd) {
                        clitest::CopyTo(clitest::Clip("ts"), cwd / "whole.ts");
                        return "subfile,,start,0,end,0,,:" + (cwd / "whole.ts").string();
                    }},
        // A link to an endless device, named like a raw video.
        ForeignCase{"endless_device",
                    [](const fs::path& cwd) {
                        fs::create_symlink("/dev/zero", cwd / "zero.h264");
                        return std::string("zero.h264");
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// A real local file whose name looks like a URL is read as the file it is.
TEST(Attack, AFileNamedLikeAUrlIsAFile) {
    TempDir cwd;
    clitest::CopyTo(clitest::Clip("mp4"), cwd / "file:sub" / "y.mp4");
    fs::create_directory(cwd / "out");
    const clitest::Result result = clitest::Run({"-q", "-o", "out", "file:sub/y.mp4"}, cwd.path());
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(clitest::VideoHashes(cwd / "out" / "y.mp4"),
              clitest::VideoHashes(clitest::Clip("mp4")));
}

// ---- Endless inputs and kills -------------------------------------------------

// The probe of a pipe that never ends (zeros named like raw H.264) is
// refused after a bounded read, not read for ever.
TEST(Attack, ProbeOfAnEndlessPipeEnds) {
    TempDir cwd;
    const fs::path pipe = cwd / "endless.h264";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&] {
        const int fd = open(pipe.c_str(), O_WRONLY);
        if (fd < 0) return;
        const std::string zeros(1 << 16, '\0');
        while (write(fd, zeros.data(), zeros.size()) > 0) {
        }
        close(fd);
    });
    clitest::Process probe({"--probe", "endless.h264"}, cwd.path());
    const clitest::Result result = probe.Wait();
    // A writer still waiting for a reader is let through; its first write
    // then finds the reader gone.
    const int unblock = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    if (unblock >= 0) close(unblock);
    writer.join();
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
}

// A kill -9 in the middle of a copy leaves no file under the final name:
// at most a temporary file the README describes.
TEST(Attack, KillMidCopyLeavesNoFinalName) {
    TempDir cwd;
    clitest::CopyTo(enginetest::NoisyTransportStream(), cwd / "in.ts");
    ScopedEnv preload("LD_PRELOAD", VELMORA_READ_SHIM);
    ScopedEnv asan("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0");
    ScopedEnv path("VELMORA_READ_SHIM_PATH", "/in.ts");
    ScopedEnv slow("VELMORA_READ_SHIM_DELAY_US", "20000");
    fs::create_directory(cwd / "out");
    clitest::Process copy({"-q", "-o", "out", "in.ts"}, cwd.path());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto partFile = [&] {
        for (const std::string& name : testmedia::FilesIn(cwd / "out"))
            if (name.find(".velmora-") != std::string::npos) return true;
        return false;
    };
    while (!partFile() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(partFile());
    kill(copy.pid(), SIGKILL);
    copy.Wait();
    const auto left = testmedia::FilesIn(cwd / "out");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].rfind("in.ts.velmora-", 0), 0u) << left[0];
    EXPECT_EQ(left[0].substr(left[0].size() - 5), ".part");
}

}  // namespace
}  // namespace faults
