#include "recording_shapes.h"

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

#include "test_media.h"

namespace faults {

namespace {

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes `bytes` as cached file `name`, once, and returns its path.
fs::path Cached(const std::string& name, const std::function<std::string()>& bytes) {
    const fs::path target = testmedia::CacheDir() / name;
    if (fs::exists(target)) return target;
    const fs::path temporary = target.string() + ".tmp-" + std::to_string(::getpid());
    std::ofstream(temporary, std::ios::binary) << bytes();
    fs::rename(temporary, target);
    return target;
}

unsigned Byte(const std::string& s, size_t i) { return static_cast<unsigned char>(s[i]); }

std::uint32_t Be32(const std::string& s, size_t i) {
    return Byte(s, i) << 24 | Byte(s, i + 1) << 16 | Byte(s, i + 2) << 8 | Byte(s, i + 3);
}

void PutBe32(std::string& s, size_t i, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) s[i + k] = static_cast<char>(v >> (24 - 8 * k));
}

std::int64_t ReadTimestamp(const std::string& s, size_t i) {
    return static_cast<std::int64_t>((Byte(s, i) >> 1) & 7) << 30 | Byte(s, i + 1) << 22 |
           (Byte(s, i + 2) >> 1) << 15 | Byte(s, i + 3) << 7 | Byte(s, i + 4) >> 1;
}

void WriteTimestamp(std::string& s, size_t i, std::int64_t v, unsigned marker) {
    s[i] = static_cast<char>(marker << 4 | ((v >> 29) & 0xE) | 1);
    s[i + 1] = static_cast<char>((v >> 22) & 0xFF);
    s[i + 2] = static_cast<char>(((v >> 14) & 0xFE) | 1);
    s[i + 3] = static_cast<char>((v >> 7) & 0xFF);
    s[i + 4] = static_cast<char>(((v << 1) & 0xFE) | 1);
}

// Zeroes the second word of every entry of the first box `type`:
// stts (sample durations) and ctts (composition offsets) have that layout.
void ZeroEntries(std::string& mp4, const std::string& type) {
    const size_t at = mp4.find(type);
    if (at == std::string::npos) return;
    const std::uint32_t count = Be32(mp4, at + 8);
    for (std::uint32_t e = 0; e < count; ++e) PutBe32(mp4, at + 12 + e * 8 + 4, 0);
}

}  // namespace

fs::path Joined(const std::string& name, const std::vector<fs::path>& parts) {
    return Cached(name, [&] {
        std::string bytes;
        for (const fs::path& part : parts) bytes += Read(part);
        return bytes;
    });
}

fs::path ZeroedMiddle(const std::string& name, const fs::path& source) {
    return Cached(name, [&] {
        std::string bytes = Read(source);
        const size_t from = bytes.size() * 2 / 5, to = bytes.size() * 3 / 5;
        for (size_t i = from; i < to; ++i) bytes[i] = 0;
        return bytes;
    });
}

fs::path WithoutPid(const std::string& name, const fs::path& source, int pid) {
    return Cached(name, [&] {
        const std::string bytes = Read(source);
        std::string kept;
        for (size_t off = 0; off + 188 <= bytes.size(); off += 188)
            if (static_cast<int>((Byte(bytes, off + 1) & 0x1F) << 8 | Byte(bytes, off + 2)) != pid)
                kept.append(bytes, off, 188);
        return kept;
    });
}

fs::path PtsBeforeDts(const std::string& name, const fs::path& source) {
    return Cached(name, [&] {
        std::string bytes = Read(source);
        int seen = 0;
        for (size_t off = 0; off + 188 <= bytes.size(); off += 188) {
            if (Byte(bytes, off) != 0x47 || !(Byte(bytes, off + 1) & 0x40)) continue;
            const unsigned adaptation = (Byte(bytes, off + 3) >> 4) & 3;
            const size_t start = off + 4 + ((adaptation & 2) ? 1 + Byte(bytes, off + 4) : 0);
            if (start + 19 > off + 188 || bytes.compare(start, 4, std::string("\0\0\1\xe0", 4)))
                continue;
            if ((Byte(bytes, start + 7) & 0xC0) != 0xC0 || ++seen % 5) continue;
            const std::int64_t dts = ReadTimestamp(bytes, start + 14);
            WriteTimestamp(bytes, start + 9, dts - 1800, 3);
        }
        if (seen == 0) throw std::runtime_error("no PES with pts and dts in " + source.string());
        return bytes;
    });
}

fs::path AllTimesZero(const std::string& name, const fs::path& source) {
    return Cached(name, [&] {
        std::string bytes = Read(source);
        ZeroEntries(bytes, "stts");
        ZeroEntries(bytes, "ctts");
        return bytes;
    });
}

}  // namespace faults
