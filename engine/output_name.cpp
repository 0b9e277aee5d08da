#include "engine/output_name.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "engine/utf8_path.h"

namespace velmora {

namespace {

struct Parts {
    std::string folder;     // with its trailing separator, or empty
    std::string stem;       // file name before its last dot
    std::string extension;  // from the last dot on, or empty
};

// Where the file name of `path` starts.
size_t FileNameStart(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

Parts Split(const std::string& path) {
    Parts parts;
    const size_t nameStart = FileNameStart(path);
    parts.folder = path.substr(0, nameStart);
    const std::string name = path.substr(nameStart);
    const size_t dot = name.rfind('.');
    parts.stem = dot == std::string::npos ? name : name.substr(0, dot);
    parts.extension = dot == std::string::npos ? std::string() : name.substr(dot);
    return parts;
}

// Cuts `text` to at most `bytes` without splitting a UTF-8 character.
std::string Cut(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// Length of a trailing "(digits)" of `stem`, or 0.
size_t NumberLength(const std::string& stem) {
    if (stem.size() < 3 || stem.back() != ')') return 0;
    size_t open = stem.size() - 1;
    while (open > 0 && std::isdigit(static_cast<unsigned char>(stem[open - 1]))) --open;
    if (open == 0 || open == stem.size() - 1 || stem[open - 1] != '(') return 0;
    if (stem.size() - open > 19) return 0;  // too long to be a number of ours
    return stem.size() - open + 1;
}

}  // namespace

std::string FileNameOf(const std::string& path) { return path.substr(FileNameStart(path)); }

std::string ExtensionOfFileName(const std::string& path) {
    const std::string extension = Split(path).extension;
    return extension.empty() ? extension : extension.substr(1);
}

NameState StateOfName(const std::string& name) {
    std::error_code ec;
    const std::filesystem::file_type type =
        std::filesystem::symlink_status(PathFromUtf8(name), ec).type();
    if (type == std::filesystem::file_type::not_found) return NameState::kFree;
    if (type == std::filesystem::file_type::none) return NameState::kUnreadable;
    return NameState::kTaken;
}

std::string NumberedName(const std::string& path, long long n) {
    Parts parts = Split(path);
    const std::string number = n < 0 ? std::string() : "(" + std::to_string(n) + ")";
    const size_t fixed = number.size() + parts.extension.size();
    if (parts.stem.size() + fixed > kMaxFileNameBytes && fixed < kMaxFileNameBytes)
        parts.stem = Cut(parts.stem, kMaxFileNameBytes - fixed);
    return parts.folder + parts.stem + number + parts.extension;
}

long long NumberOf(const std::string& path) {
    const Parts parts = Split(path);
    const size_t length = NumberLength(parts.stem);
    if (length == 0) return -1;
    return std::stoll(parts.stem.substr(parts.stem.size() - length + 1, length - 2));
}

std::string WithoutNumber(const std::string& path) {
    Parts parts = Split(path);
    parts.stem.resize(parts.stem.size() - NumberLength(parts.stem));
    return parts.folder + parts.stem + parts.extension;
}

}  // namespace velmora
