#include "ini_file.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "file_replace.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace {

// ---- The file as text --------------------------------------------------

enum class Encoding { kUtf8, kUtf8WithBom, kUtf16Le };

// A file's contents as 8-bit text, and what is needed to write it back the
// way it was.
struct IniText {
    Encoding encoding = Encoding::kUtf8;
    std::string text;
    std::string oddTrailingByte;  // a UTF-16 file of odd length keeps its last byte
};

// The whole file, or nothing when it is missing, not a regular file or
// cannot be read.
std::optional<std::string> ReadFileBytes(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

IniText Decode(std::string_view bytes) {
    IniText result;
    if (bytes.starts_with(textenc::kUtf16LeBom)) {
        bytes.remove_prefix(textenc::kUtf16LeBom.size());
        result.encoding = Encoding::kUtf16Le;
        result.text = textenc::Utf16LeToUtf8(bytes);
        if (bytes.size() % 2 != 0) result.oddTrailingByte = bytes.back();
    } else if (bytes.starts_with(textenc::kUtf8Bom)) {
        bytes.remove_prefix(textenc::kUtf8Bom.size());
        result.encoding = Encoding::kUtf8WithBom;
        result.text = bytes;
    } else {
        result.text = bytes;
    }
    return result;
}

std::string Encode(const IniText& ini) {
    switch (ini.encoding) {
        case Encoding::kUtf16Le:
            return std::string(textenc::kUtf16LeBom) + textenc::Utf8ToUtf16Le(ini.text) +
                   ini.oddTrailingByte;
        case Encoding::kUtf8WithBom:
            return std::string(textenc::kUtf8Bom) + ini.text;
        case Encoding::kUtf8:
            break;
    }
    return ini.text;
}

// ---- Lines ----------------------------------------------------------------

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

enum class LineKind { kBlank, kSection, kKey, kOther };

// One line of the text: [begin, end) is its content without the line end,
// next is where the following line starts (== end for a last line without
// a line end).
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    LineKind kind = LineKind::kOther;
    std::string_view name;       // section or key name, trimmed
    std::size_t valueBegin = 0;  // kKey: first byte after "="
};

Line ParseLine(std::string_view text, std::size_t begin) {
    Line line;
    line.begin = begin;
    const std::size_t newline = text.find('\n', begin);
    line.next = newline == std::string_view::npos ? text.size() : newline + 1;
    line.end = newline == std::string_view::npos ? text.size() : newline;
    if (line.end > begin && text[line.end - 1] == '\r') --line.end;

    const std::string_view content = Trim(text.substr(begin, line.end - begin));
    if (content.empty()) {
        line.kind = LineKind::kBlank;
    } else if (content.front() == '[') {
        // The name runs to the last "]"; a line without one opens nothing.
        const std::size_t close = content.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::kSection;
            line.name = Trim(content.substr(1, close - 1));
        }
    } else if (content.front() != ';') {
        const std::size_t equals = content.find('=');
        if (equals != std::string_view::npos) {
            line.kind = LineKind::kKey;
            line.name = Trim(content.substr(0, equals));
            line.valueBegin = static_cast<std::size_t>(content.data() - text.data()) + equals + 1;
        }
    }
    return line;
}

// Where a section or key was found. For a section, lastLine is its last
// line that is not blank (the header when the section has no other lines),
// so a new key goes there and blank lines before the next section stay
// where they are.
struct Found {
    std::optional<Line> section;
    std::optional<Line> key;
    std::optional<Line> lastLine;
};

Found Find(std::string_view text, std::string_view section, std::string_view key) {
    Found found;
    for (std::size_t pos = 0; pos < text.size();) {
        const Line line = ParseLine(text, pos);
        pos = line.next;
        if (!found.section) {
            if (line.kind == LineKind::kSection && SameName(line.name, section)) {
                found.section = line;
                found.lastLine = line;
            }
            continue;
        }
        if (line.kind == LineKind::kSection) break;
        if (line.kind != LineKind::kBlank) found.lastLine = line;
        if (line.kind == LineKind::kKey && SameName(line.name, key)) {
            found.key = line;
            break;
        }
    }
    return found;
}

// ---- Reading ----------------------------------------------------------------

std::string_view WithoutQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Cuts to the first kMaxProfileTextLength characters without splitting one.
std::string CutToMaxLength(std::string text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && ++characters > kMaxProfileTextLength) {
            text.resize(i);
            break;
        }
    }
    return text;
}

// ---- Writing ----------------------------------------------------------------

bool Storable(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool ValidNames(std::string_view section, std::string_view key) {
    return Storable(section) && Storable(key) && section.find(']') == std::string_view::npos &&
           !key.empty() && key.find('=') == std::string_view::npos && Trim(key) == key &&
           Trim(section) == section && key.front() != '[' && key.front() != ';';
}

// The line end the file already uses, or this platform's for a new file.
std::string_view LineEndOf(std::string_view text) {
    const std::size_t newline = text.find('\n');
    if (newline == std::string_view::npos) {
#ifdef _WIN32
        return "\r\n";
#else
        return "\n";
#endif
    }
    return newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

// Puts `newLine` on its own line after `line`.
void InsertAfter(std::string& text, const Line& line, const std::string& newLine,
                 std::string_view eol) {
    if (line.next == line.end) {
        text.insert(line.end, std::string(eol) + newLine);
    } else {
        text.insert(line.next, newLine + std::string(eol));
    }
}

void Update(std::string& text, std::string_view section, std::string_view key,
            std::string_view value) {
    const std::string_view eol = LineEndOf(text);
    const Found found = Find(text, section, key);
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    if (found.key) {
        // Keep the key as spelled in the file and the blanks after "=".
        std::size_t valueStart = found.key->valueBegin;
        while (valueStart < found.key->end && IsBlank(text[valueStart])) ++valueStart;
        text.replace(valueStart, found.key->end - valueStart, value);
    } else if (found.section) {
        InsertAfter(text, *found.lastLine, keyLine, eol);
    } else {
        if (!text.empty() && !text.ends_with('\n')) text += eol;
        if (!text.empty() &&
            ParseLine(text, text.rfind('\n', text.size() - 2) + 1).kind != LineKind::kBlank) {
            text += eol;  // a blank line before the new section
        }
        text += "[" + std::string(section) + "]" + std::string(eol) + keyLine + std::string(eol);
    }
}

}  // namespace

std::string ReadProfileString(const fs::path& file, std::string_view section, std::string_view key,
                              std::string_view defaultValue) {
    try {
        const std::optional<std::string> bytes = ReadFileBytes(file);
        if (!bytes) return CutToMaxLength(std::string(defaultValue));
        const IniText ini = Decode(*bytes);
        const Found found = Find(ini.text, section, key);
        if (!found.key) return CutToMaxLength(std::string(defaultValue));

        const Line& line = *found.key;
        std::string_view value =
            std::string_view(ini.text).substr(line.valueBegin, line.end - line.valueBegin);
        value = WithoutQuotes(Trim(value));
        value = value.substr(0, value.find('\0'));  // the text ends at a NUL, as a C string would
        std::string result =
            ini.encoding == Encoding::kUtf16Le ? textenc::ToValidUtf8(value) : std::string(value);
        return CutToMaxLength(std::move(result));
    } catch (...) {
        // Out of memory on a huge file: treat it like an unreadable file.
        return std::string();
    }
}

bool WriteProfileString(const fs::path& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    try {
        if (!ValidNames(section, key) || !Storable(value)) return false;

        IniText ini;
        std::error_code ec;
        if (fs::symlink_status(file, ec).type() != fs::file_type::not_found) {
            // Never replace a file we could not read: its contents would be lost.
            const std::optional<std::string> bytes = ReadFileBytes(file);
            if (!bytes) return false;
            ini = Decode(*bytes);
        }
        const std::string before = ini.text;
        Update(ini.text, section, key, value);
        if (ini.text == before && fs::exists(file, ec)) return true;
        return ReplaceFileContents(file, Encode(ini));
    } catch (...) {
        return false;
    }
}
