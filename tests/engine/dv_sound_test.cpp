// DV keeps its sound inside every video frame, in the audio DIF blocks, so
// dropping the audio track is not enough: those blocks are silenced and
// marked as holding no sound, and every other block stays byte for byte.
// Checked over every kind of DV the ffmpeg program writes, in raw DV and
// in the containers that carry DV beside a sound track.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "engine_test_support.h"

namespace enginetest {
namespace {

using testmedia::Make;
using testmedia::Quote;
using testmedia::Run;

// Sound for FFmpeg's DV muxer, which puts it into the frames: the only
// kind of sound DV takes (48 kHz, two channels, 16 bits).
const std::string kDvSound = "-f lavfi -i sine=duration=0.4:sample_rate=48000 -ac 2 -c:a pcm_s16le";
// A camera's timecode and recording date. FFmpeg's DV muxer writes them into
// the subcode and VAUX blocks of every frame; a copy that let it write them
// again would change those blocks.
const std::string kCameraMarks =
    "-timecode 10:11:12:13 -metadata creation_time=2005-06-07T08:09:10Z";

// A raw DV file of 0.4 s made by FFmpeg's DV encoder and muxer, with the
// sound in its frames when `sound` is set.
fs::path RawDv(const std::string& name, const std::string& size, const std::string& rate,
               const std::string& pixelFormat, bool sound = true) {
    return Make(name + ".dv", "-f lavfi -i testsrc=duration=0.4:size=" + size + ":rate=" + rate +
                                  " " + (sound ? kDvSound + " " : "") + "-c:v dvvideo -pix_fmt " +
                                  pixelFormat + " " + kCameraMarks);
}

// The same frames, and the sound as a track of its own too, in another
// container.
fs::path Remuxed(const fs::path& rawDv, const std::string& ext) {
    return Make(rawDv.stem().string() + "." + ext,
                "-i " + Quote(rawDv.string()) + " -map 0 -c copy");
}

fs::path PalDv25() { return RawDv("pal_dv25", "720x576", "25", "yuv420p"); }
fs::path NtscDv25() { return RawDv("ntsc_dv25", "720x480", "30000/1001", "yuv411p"); }
fs::path PalDv50() { return RawDv("pal_dv50", "720x576", "25", "yuv422p"); }
fs::path Hd1080i50() { return RawDv("hd1080i50", "1440x1080", "25", "yuv422p"); }

// Writes the video packets of `file` one after the other into `frames`,
// as the ffmpeg program's stream copy reads them: a raw DV file.
fs::path DumpFrames(const fs::path& file, const fs::path& frames) {
    Run("ffmpeg -nostdin -v error -y -i " + Quote(file.string()) +
        " -map 0:v -c copy -f rawvideo " + Quote(frames.string()) + " 2>&1");
    return frames;
}

// The sound streams FFmpeg's DV demuxer finds in raw DV frames.
int SoundStreamsInFrames(const fs::path& frames) {
    const std::string types =
        Run("ffprobe -v error -f dv -show_entries stream=codec_type "
            "-of csv=p=0 " +
            Quote(frames.string()));
    int count = 0;
    for (size_t at = types.find("audio"); at != std::string::npos; at = types.find("audio", at + 1))
        ++count;
    return count;
}

// The MD5 of every decoded picture of the file's video, in order.
std::vector<std::string> PictureHashes(const fs::path& file) {
    const std::string lines = Run("ffmpeg -nostdin -v error -i " + Quote(file.string()) +
                                  " -map 0:v -f framemd5 - 2>/dev/null");
    std::vector<std::string> hashes;
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        if (end == std::string::npos) end = lines.size();
        const std::string line = lines.substr(start, end - start);
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.rfind(',') + 1));
        start = end + 1;
    }
    return hashes;
}

// The DIF blocks of two dumps of the same frames, 80 bytes each, the top
// three bits of the first byte naming the section: 3 is sound.
constexpr size_t kBlock = 80;
constexpr int kSoundSection = 3;

// Every block that is not sound (header, subcode, VAUX, video) is the
// input's, byte for byte. Every sound block keeps its ID, carries only the
// no-information pack (0xFF) and no sample that is not zero.
void ExpectOnlySoundSilenced(const std::string& in, const std::string& out) {
    ASSERT_EQ(in.size(), out.size());
    ASSERT_EQ(in.size() % kBlock, 0u);
    int changed = 0, loud = 0, sound = 0;
    for (size_t at = 0; at < in.size(); at += kBlock) {
        const std::string a = in.substr(at, kBlock);
        const std::string b = out.substr(at, kBlock);
        if ((static_cast<std::uint8_t>(a[0]) >> 5) != kSoundSection) {
            if (a != b && changed++ == 0)
                ADD_FAILURE() << "a block that is not sound changed at " << at;
            continue;
        }
        ++sound;
        const bool silent = a.substr(0, 3) == b.substr(0, 3) &&
                            b.substr(3, 5) == std::string(5, '\xff') &&
                            b.substr(8) == std::string(kBlock - 8, '\0');
        if (!silent && loud++ == 0) ADD_FAILURE() << "a sound block not silenced at " << at;
    }
    EXPECT_EQ(changed, 0) << "blocks that are not sound changed";
    EXPECT_EQ(loud, 0) << "sound blocks not silenced";
    EXPECT_GT(sound, 0);
}

struct DvCase {
    const char* name;
    std::function<fs::path()> make;
    bool soundInFrames;  // FFmpeg's DV muxer could put sound into these frames
};

std::ostream& operator<<(std::ostream& os, const DvCase& c) { return os << c.name; }

class DvSound : public testing::TestWithParam<DvCase> {};

TEST_P(DvSound, FramesKeepTheirPicturesAndLoseTheirSound) {
    const DvCase& c = GetParam();
    const fs::path in = c.make();
    testmedia::TempDir dir;
    const fs::path out = dir / c.name;
    CopyOk(in, out);

    const Media copy(out);
    EXPECT_EQ(copy.Count("video"), 1);
    EXPECT_EQ(copy.Count("audio"), 0) << "an audio track declared in " << out;

    const fs::path inFrames = DumpFrames(in, dir / "in.frames");
    const fs::path outFrames = DumpFrames(out, dir / "out.frames");
    // The input's frames do hold the sound the copy must take out.
    ASSERT_EQ(SoundStreamsInFrames(inFrames) > 0, c.soundInFrames);
    EXPECT_EQ(SoundStreamsInFrames(outFrames), 0) << "sound left in the frames of " << out;
    const auto pictures = PictureHashes(in);
    EXPECT_FALSE(pictures.empty());
    EXPECT_EQ(PictureHashes(out), pictures);
    ExpectOnlySoundSilenced(testmedia::ReadAll(inFrames), testmedia::ReadAll(outFrames));
}

INSTANTIATE_TEST_SUITE_P(
    DvShapes, DvSound,
    testing::Values(
        DvCase{"pal_dv25.dv", PalDv25, true}, DvCase{"ntsc_dv25.dv", NtscDv25, true},
        DvCase{"pal_dvcpro25.dv", [] { return RawDv("pal_dvcpro25", "720x576", "25", "yuv411p"); },
               true},
        DvCase{"pal_dv50.dv", PalDv50, true},
        DvCase{"ntsc_dv50.dv",
               [] { return RawDv("ntsc_dv50", "720x480", "30000/1001", "yuv422p"); }, true},
        DvCase{"hd1080i50.dv", Hd1080i50, true},
        DvCase{"hd1080i60.dv",
               [] { return RawDv("hd1080i60", "1280x1080", "30000/1001", "yuv422p"); }, true},
        // FFmpeg's DV muxer puts no sound into 720p frames: their sound
        // blocks are silenced all the same.
        DvCase{"hd720p50.dv", [] { return RawDv("hd720p50", "960x720", "50", "yuv422p", false); },
               false},
        DvCase{"hd720p60.dv",
               [] { return RawDv("hd720p60", "960x720", "60000/1001", "yuv422p", false); }, false},
        DvCase{"pal_dv25.avi", [] { return Remuxed(PalDv25(), "avi"); }, true},
        DvCase{"ntsc_dv25.avi", [] { return Remuxed(NtscDv25(), "avi"); }, true},
        DvCase{"pal_dv25.mov", [] { return Remuxed(PalDv25(), "mov"); }, true},
        DvCase{"pal_dv50.mov", [] { return Remuxed(PalDv50(), "mov"); }, true},
        DvCase{"hd1080i50.avi", [] { return Remuxed(Hd1080i50(), "avi"); }, true}),
    [](const auto& info) { return testmedia::TestNameOf(info.param.name); });

}  // namespace
}  // namespace enginetest
