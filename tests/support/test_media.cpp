#include "test_media.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testmedia {

fs::path CacheDir() {
    if (const char* env = std::getenv("VELMORA_TEST_MEDIA")) return env;
    return VELMORA_TEST_MEDIA_DIR;
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string TestNameOf(std::string fileName) {
    for (char& ch : fileName)
        if (ch == '.') ch = '_';
    return fileName;
}

std::string Run(const std::string& command, int* status) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run: " + command);
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    int rc = pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return output;
}

namespace {

// Makes the cached file `name` with the shell command `command(tmp)`,
// which writes it at `tmp`, unless it is there already.
fs::path MakeCached(const std::string& name, const std::string& tool,
                    const std::function<std::string(const fs::path&)>& command) {
    fs::path dir = CacheDir();
    fs::create_directories(dir);
    fs::path target = dir / name;
    if (fs::exists(target)) return target;
    // Write under a private name and rename, so a concurrent test never sees
    // a half-written file. The temporary keeps the extension, which picks the
    // container.
    fs::path tmp = dir / (".tmp-" + std::to_string(getpid()) + "-" + name);
    int status = 0;
    std::string out = Run(command(tmp) + " 2>&1", &status);
    // mkvmerge exits with 1 for warnings only.
    if (status != 0 && !(tool == "mkvmerge" && status == 1 && fs::exists(tmp))) {
        fs::remove(tmp);
        throw std::runtime_error(tool + " failed making " + name + ": " + out);
    }
    fs::rename(tmp, target);
    return target;
}

}  // namespace

fs::path Make(const std::string& name, const std::string& args) {
    return MakeCached(name, "ffmpeg", [&](const fs::path& tmp) {
        return "ffmpeg -nostdin -v error -y " + args + " " + Quote(tmp.string());
    });
}

fs::path MakeWithMkvmerge(const std::string& name, const std::string& args) {
    return MakeCached(name, "mkvmerge", [&](const fs::path& tmp) {
        return "mkvmerge -q -o " + Quote(tmp.string()) + " " + args;
    });
}

namespace {

// Subtitle streams report "N/A" for a picture size.
int ParseIntOrZero(const std::string& text) {
    try {
        return std::stoi(text);
    } catch (const std::exception&) {
        return 0;
    }
}

std::optional<std::int64_t> ParseTs(const std::string& text) {
    if (text.empty() || text == "N/A") return std::nullopt;
    return std::stoll(text);
}

}  // namespace

std::vector<Packet> Packets(const fs::path& file) {
    int status = 0;
    // The flat format names every value: packets with side data (every
    // packet of a transport stream) print it between the other fields, which
    // breaks the rows of csv.
    std::string out =
        Run("ffprobe -v error -show_data_hash MD5 -show_entries "
            "packet=stream_index,pts,dts,flags,data_hash -of flat " +
                Quote(file.string()),
            &status);
    if (status != 0) throw std::runtime_error("ffprobe failed on " + file.string());
    std::vector<Packet> packets;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        // packets.packet.12.pts=133200
        const std::string prefix = "packets.packet.";
        if (line.rfind(prefix, 0) != 0) continue;
        const size_t dot = line.find('.', prefix.size());
        const size_t eq = line.find('=');
        if (dot == std::string::npos || eq == std::string::npos || eq < dot) continue;
        const size_t index = std::stoul(line.substr(prefix.size(), dot - prefix.size()));
        if (packets.size() <= index) packets.resize(index + 1);
        Packet& p = packets[index];
        const std::string key = line.substr(dot + 1, eq - dot - 1);
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        if (key == "stream_index")
            p.stream = std::stoi(value);
        else if (key == "pts")
            p.pts = ParseTs(value);
        else if (key == "dts")
            p.dts = ParseTs(value);
        else if (key == "flags")
            p.key = value.find('K') != std::string::npos;
        else if (key == "data_hash")
            p.hash = value;
    }
    return packets;
}

std::vector<Packet> PacketsOf(const std::vector<Packet>& all, int stream) {
    std::vector<Packet> out;
    for (const auto& p : all)
        if (p.stream == stream) out.push_back(p);
    return out;
}

std::vector<Stream> Streams(const fs::path& file) {
    int status = 0;
    std::string out =
        Run("ffprobe -v error -show_streams -of flat " + Quote(file.string()), &status);
    if (status != 0) throw std::runtime_error("ffprobe failed on " + file.string());
    std::vector<Stream> streams;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        // streams.stream.0.codec_type="video"
        const std::string prefix = "streams.stream.";
        if (line.rfind(prefix, 0) != 0) continue;
        size_t dot = line.find('.', prefix.size());
        size_t eq = line.find('=');
        if (dot == std::string::npos || eq == std::string::npos) continue;
        size_t index = std::stoul(line.substr(prefix.size(), dot - prefix.size()));
        if (streams.size() <= index) streams.resize(index + 1);
        Stream& s = streams[index];
        s.index = static_cast<int>(index);
        std::string key = line.substr(dot + 1, eq - dot - 1);
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        if (key == "codec_type")
            s.codecType = value;
        else if (key == "codec_name")
            s.codecName = value;
        else if (key == "codec_tag_string")
            s.codecTag = value;
        else if (key == "time_base")
            s.timeBase = value;
        else if (key == "width")
            s.width = ParseIntOrZero(value);
        else if (key == "height")
            s.height = ParseIntOrZero(value);
        else if (key == "disposition.attached_pic")
            s.attachedPic = value == "1";
        else if (key.rfind("side_data_list.", 0) == 0 && key.ends_with(".rotation"))
            s.rotation = std::stod(value);
    }
    return streams;
}

std::string FormatName(const fs::path& file) {
    int status = 0;
    std::string out =
        Run("ffprobe -v error -show_entries format=format_name -of default=nw=1:nk=1 " +
                Quote(file.string()),
            &status);
    if (status != 0) throw std::runtime_error("ffprobe failed on " + file.string());
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

TempDir::TempDir() {
    std::random_device rd;
    for (;;) {
        fs::path candidate = fs::temp_directory_path() / ("velmora-test-" + std::to_string(rd()));
        if (fs::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give back write permission that a test may have taken away.
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& entry : fs::recursive_directory_iterator(m_path, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

}  // namespace testmedia

namespace testmedia {

namespace {

// A 33-bit PES time from the five bytes at `p`.
std::int64_t PesTime(const unsigned char* p) {
    return (static_cast<std::int64_t>((p[0] >> 1) & 7) << 30) | (p[1] << 22) | ((p[2] >> 1) << 15) |
           (p[3] << 7) | (p[4] >> 1);
}

}  // namespace

std::optional<double> DecoderBufferSeconds(const std::filesystem::path& file) {
    const std::string bytes = ReadAll(file);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t packetSize = bytes.size() > 192 && data[0] != 0x47 && data[4] == 0x47 ? 192 : 188;
    const size_t skip = packetSize - 188;
    std::optional<std::int64_t> pcr;  // 90 kHz base of the last clock reference
    std::optional<double> least;
    for (size_t at = 0; at + packetSize <= bytes.size(); at += packetSize) {
        const unsigned char* p = data + at + skip;
        if (p[0] != 0x47) return {};
        const bool unitStart = p[1] & 0x40;
        const int control = (p[3] >> 4) & 3;
        size_t payload = 4;
        if (control & 2) {
            if (p[4] > 0 && (p[5] & 0x10))
                pcr = (static_cast<std::int64_t>(p[6]) << 25) | (p[7] << 17) | (p[8] << 9) |
                      (p[9] << 1) | (p[10] >> 7);
            payload = 5 + p[4];
        }
        if (!unitStart || !(control & 1) || payload + 19 > 188 || !pcr) continue;
        const unsigned char* pes = p + payload;
        if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || (pes[3] & 0xf0) != 0xe0) continue;
        const int times = pes[7] >> 6;
        if (times < 2) continue;
        const std::int64_t dts = PesTime(pes + (times == 3 ? 14 : 9));
        const double ahead = static_cast<double>(dts - *pcr) / 90000.0;
        if (!least || ahead < *least) least = ahead;
    }
    return least;
}

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testmedia
