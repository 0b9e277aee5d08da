#pragma once

// Small file helpers shared by the INI tests. They read and write bytes
// directly, never through the code under test.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace initest {

inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// UTF-16 code units as little-endian bytes, with the byte-order mark first.
inline std::string Utf16LeFile(std::u16string_view units) {
    std::string bytes = "\xFF\xFE";
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

// The line end a new file gets on this platform.
#ifdef _WIN32
inline constexpr std::string_view kNativeEol = "\r\n";
#else
inline constexpr std::string_view kNativeEol = "\n";
#endif

}  // namespace initest
