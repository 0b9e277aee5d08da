// A DV frame whose layout is not one DV has cannot have its sound taken out
// (the sound's blocks cannot be told from the picture's): the file fails
// with that reason, and no output is left behind.

#include <gtest/gtest.h>

#include <fstream>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

using testmedia::Quote;

constexpr std::streamoff kPalFrame = 144000;    // bytes of one 625-line DV25 frame
constexpr std::streamoff kDifSequence = 12000;  // 150 blocks of 80 bytes

// PAL DV with its sound in the frames, where a tape dropout left a whole
// DIF sequence of the fourth frame as zeros. FFmpeg still decodes the
// pictures; the frame's subcode and VAUX blocks are no longer where DV puts
// them.
fs::path DroppedOutDv(const fs::path& target) {
    const fs::path whole =
        testmedia::Make("cli_pal_dv25.dv",
                        "-f lavfi -i testsrc=duration=0.4:size=720x576:rate=25 "
                        "-f lavfi -i sine=duration=0.4:sample_rate=48000 -target pal-dv");
    clitest::CopyTo(whole, target);
    std::fstream file(target, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(3 * kPalFrame + kDifSequence);
    const std::string zeros(kDifSequence, '\0');
    file.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    return target;
}

TEST(CliDv, ADamagedFrameFailsTheFileWithTheReason) {
    testmedia::TempDir cwd;
    const fs::path dv = DroppedOutDv(cwd / "tape.dv");
    int status = -1;
    testmedia::Run("ffmpeg -nostdin -v error -y -i " + Quote(dv.string()) + " -map 0 -c copy " +
                       Quote((cwd / "tape.avi").string()) + " 2>&1",
                   &status);
    ASSERT_EQ(status, 0);
    fs::create_directory(cwd / "out");

    const auto result = clitest::Run({"-q", "-o", "out", "tape.dv", "tape.avi"}, cwd.path());
    EXPECT_EQ(result.exitCode, 1);
    const std::string why =
        "a DV frame of the file is damaged or of an unknown kind, so the sound inside it cannot "
        "be removed\n";
    EXPECT_EQ(result.out, "failed   tape.dv: " + why + "failed   tape.avi: " + why);
    EXPECT_EQ(testmedia::FilesIn(cwd / "out"), std::vector<std::string>{});
}

}  // namespace
