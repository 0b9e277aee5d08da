#pragma once

// Names travel through the program as UTF-8 text in std::string (the bytes
// the operating system uses on POSIX); std::filesystem::path built from a
// plain std::string would read it in the local code page on Windows. These
// two helpers convert without that loss on every platform. Header only: the
// settings use them too, without linking the engine.

#include <filesystem>
#include <string>
#include <string_view>

inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
