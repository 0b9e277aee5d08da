#include "engine/output_name.h"

#include <filesystem>
#include <system_error>

#include "engine/utf8_path.h"

namespace velmora {

namespace {

constexpr const char* kTemporaryMark = ".velmora-";
constexpr const char* kTemporaryEnd = ".part";

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

}  // namespace

std::string FileNameOf(const std::string& path) { return path.substr(FileNameStart(path)); }

std::string ExtensionOfFileName(const std::string& path) {
    const std::string extension = Split(path).extension;
    return extension.empty() ? extension : extension.substr(1);
}

std::string CutToBytes(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    // A byte 10xxxxxx continues a character: the cut goes before its lead.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
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
        parts.stem = CutToBytes(parts.stem, kMaxFileNameBytes - fixed);
    return parts.folder + parts.stem + number + parts.extension;
}

std::string NameAt(const NamePlace& place) { return NumberedName(place.first, place.number); }

std::string WithSuffix(const std::string& path, const std::string& suffix) {
    const size_t nameStart = FileNameStart(path);
    std::string name = path.substr(nameStart);
    if (name.size() + suffix.size() > kMaxFileNameBytes && suffix.size() < kMaxFileNameBytes)
        name = CutToBytes(name, kMaxFileNameBytes - suffix.size());
    return path.substr(0, nameStart) + name + suffix;
}

std::string TemporaryName(const std::string& finalName, const std::string& tag) {
    return WithSuffix(finalName, kTemporaryMark + tag + kTemporaryEnd);
}

std::string SetAsideName(const std::string& finalName, long long n) {
    return TemporaryName(finalName, n < 0 ? "stopped" : "stopped(" + std::to_string(n) + ")");
}

std::string NameKey(const std::string& name) {
#ifdef _WIN32
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
#else
    return name;
#endif
}

}  // namespace velmora
