#pragma once

// Test media made by the ffmpeg program and facts about media read back with
// ffprobe. Tests use these to check outputs with FFmpeg itself, never with
// the code under test.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testmedia {

// Folder where generated media are cached (the build tree's test-media/).
std::filesystem::path CacheDir();

// Returns the cached file `name` (for example "h264_aac.mp4"), making it
// first with `ffmpeg -nostdin -v error -y <args> <file>` when it is missing.
// `args` is a shell fragment such as
//   "-f lavfi -i testsrc=duration=2:size=160x120:rate=25 -c:v libx264".
// Safe against several test processes making the same file at once.
std::filesystem::path Make(const std::string& name, const std::string& args);

// The same with `mkvmerge -q -o <file> <args>`: Matroska files with the
// track flags, display sizes and chapters only mkvmerge writes.
std::filesystem::path MakeWithMkvmerge(const std::string& name, const std::string& args);

// A file name as the name of a parameterised test case, which takes
// letters, digits and '_' only: "pal_dv25.avi" -> "pal_dv25_avi".
std::string TestNameOf(std::string fileName);

// Runs a shell command; returns its standard output and stores its exit
// status in *status when given.
std::string Run(const std::string& command, int* status = nullptr);

// Quotes a path or word for the shell.
std::string Quote(const std::string& text);

struct Packet {
    int stream = -1;
    std::optional<std::int64_t> pts;  // empty when ffprobe prints N/A
    std::optional<std::int64_t> dts;
    bool key = false;
    std::string hash;  // MD5 of the payload
};

struct Stream {
    int index = -1;
    std::string codecType;  // "video", "audio", "subtitle", ...
    std::string codecName;
    std::string codecTag;  // e.g. "hvc1", "avc1", "0x0000"
    bool attachedPic = false;
    std::string timeBase;            // "1/90000"
    std::optional<double> rotation;  // display-matrix rotation in degrees
    int width = 0;
    int height = 0;
};

// Every packet of the file in file order, with payload hashes.
std::vector<Packet> Packets(const std::filesystem::path& file);

// The packets of one stream only.
std::vector<Packet> PacketsOf(const std::vector<Packet>& all, int stream);

// The streams of the file.
std::vector<Stream> Streams(const std::filesystem::path& file);

// The container of the file as ffprobe names it ("mov,mp4,m4a,3gp,3g2,mj2",
// "avi", "matroska,webm", ...).
std::string FormatName(const std::filesystem::path& file);

// Where a copy written as an MPEG transport stream starts, in seconds:
// FFmpeg's TS writer puts every time 1.4 s late, so that the clock it sends
// (PCR) can run 0.7 s ahead of each frame's decode time, which is the
// decoder's buffer time.
inline constexpr double kTransportStreamStart = 1.4;

// The least time in seconds by which the clock of a transport stream (188-
// or 192-byte packets) runs ahead of the decode times of its video frames;
// empty when the file has no clock reference or no timed video.
std::optional<double> DecoderBufferSeconds(const std::filesystem::path& file);

// The whole content of a file, as bytes; empty when it cannot be read.
std::string ReadAll(const std::filesystem::path& file);

// The names of the entries of `folder`, sorted: what a job left on disk.
std::vector<std::string> FilesIn(const std::filesystem::path& folder);

// A fresh, empty temporary folder, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

}  // namespace testmedia
