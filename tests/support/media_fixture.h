#pragma once

// The test media several suites share, made by the ffmpeg program on first
// use and cached (see test_media.h). A suite that needs a particular shape
// makes it with testmedia::Make() beside these.

#include <filesystem>
#include <string>

namespace testmedia {

// Sources for test media: 2 s of a 160x120 test picture at 25 fps, and 2 s
// of a tone. Small enough to keep the suites fast.
inline const std::string kPicture = "-f lavfi -i testsrc=duration=2:size=160x120:rate=25";
inline const std::string kSound = "-f lavfi -i sine=duration=2:sample_rate=44100";

// A small H.264 + AAC file in the container of `ext` (mp4, mkv, ts, ...).
std::filesystem::path SmallVideo(const std::string& ext);

// 10 s of noisy pictures (about 2.7 MB, more than the output buffers hold)
// with sound, in a transport stream, which can be read from a pipe.
std::filesystem::path NoisyTransportStream();

// One second of a tone in an M4A file: a file with no video at all.
std::filesystem::path AudioOnly();

// RealVideo 2 with sound in a RealMedia file: FFmpeg reads it, but its
// RealMedia writer would not keep the video packets as they are.
std::filesystem::path RealMedia();

}  // namespace testmedia
