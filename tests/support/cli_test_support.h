#pragma once

// Runs velmora-cli the way a user would and makes the media the tests feed it.

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "media_fixture.h"
#include "test_media.h"

namespace clitest {

struct Result {
    int exitCode = -1;  // 128 + signal when the program was killed
    std::string out;
    std::string err;
};

// A started velmora-cli whose output goes to files until Wait().
class Process {
public:
    // Standard input reads `input` (a file), or nothing when it is empty.
    Process(const std::vector<std::string>& args, const std::filesystem::path& cwd,
            const std::filesystem::path& input = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    pid_t pid() const { return m_pid; }
    Result Wait();

private:
    testmedia::TempDir m_logs;
    pid_t m_pid = -1;
};

// Runs velmora-cli with `args` in `cwd` and waits for it; standard input
// reads the file `input`, or nothing.
Result Run(const std::vector<std::string>& args, const std::filesystem::path& cwd,
           const std::filesystem::path& input = {});

// A small H.264 + AAC clip: 2 s, 160x120, 25 fps, profile High.
std::filesystem::path Clip(const std::string& extension);

using testmedia::AudioOnly;
using testmedia::RealMedia;

// A copy of `source` at `target`, creating folders as needed.
std::filesystem::path CopyTo(const std::filesystem::path& source,
                             const std::filesystem::path& target);

// Hashes of the video packets of a file, checked with ffprobe.
std::vector<std::string> VideoHashes(const std::filesystem::path& file);

// True when no stream of the file holds an audio packet.
bool HasNoAudioPackets(const std::filesystem::path& file);

// Lines of a text.
std::vector<std::string> Lines(const std::string& text);

// One value of a flat JSON object: a string (escapes decoded; \udc80..\udcff
// back to the single bytes they stand for), a number, or null.
struct JsonValue {
    enum class Kind { kString, kNumber, kNull, kBool };
    Kind kind = Kind::kNull;
    std::string text;   // kString
    double number = 0;  // kNumber; kBool: 0 or 1
};

// The fields of a one-line JSON object whose values are all strings,
// numbers, booleans or null; empty when the line is not such an object.
std::optional<std::map<std::string, JsonValue>> ParseFlatJson(const std::string& line);

}  // namespace clitest
