#include "cli/probe_lines.h"

#include <cstdio>

#include "cli/file_result.h"
#include "cli/shown_name.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace {

// The JSON escape of one UTF-16 unit: a backslash, "u" and four hex digits.
std::string UnicodeEscape(unsigned unit) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", unit & 0xFFFFu);
    return buffer;
}

// Length of the valid UTF-8 sequence at text[i], or 0 if there is none.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length;
    unsigned minimum;
    unsigned value;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, value = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

ProbeNumbers NumbersOfProbe(const velmora::ProbeFacts& facts) {
    ProbeNumbers numbers;
    if (facts.duration != AV_NOPTS_VALUE && facts.duration >= 0)
        numbers.duration = static_cast<double>(facts.duration) / 1e6;
    numbers.width = facts.width;
    numbers.height = facts.height;
    if (facts.videoBitRate > 0) numbers.bitRate = facts.videoBitRate;
    if (facts.fpsDen != 0 && facts.fpsNum > 0)
        numbers.frameRate = static_cast<double>(facts.fpsNum) / facts.fpsDen;
    return numbers;
}

std::string TabLine(const ProbeCells& c) {
    return ShownName(c.path) + '\t' + c.extension + '\t' + c.duration + '\t' + c.size + '\t' +
           c.bitRate + '\t' + c.frameRate + '\t' + c.profile + '\t' + c.profileName;
}

std::string JsonLine(const ProbeCells& c, const ProbeNumbers& n) {
    return "{\"schema\":" + std::to_string(kJsonSchema) + ",\"path\":" + JsonString(c.path) +
           ",\"extension\":" + JsonString(c.extension) + ",\"duration\":" + JsonString(c.duration) +
           ",\"size\":" + JsonString(c.size) + ",\"bitrate\":" + JsonString(c.bitRate) +
           ",\"fps\":" + JsonString(c.frameRate) + ",\"profile\":" + JsonString(c.profile) +
           ",\"profile_name\":" + (c.profileName.empty() ? "null" : JsonString(c.profileName)) +
           ",\"duration_seconds\":" + JsonNumber(n.duration) +
           ",\"width\":" + std::to_string(n.width) + ",\"height\":" + std::to_string(n.height) +
           ",\"bit_rate\":" + (n.bitRate ? std::to_string(*n.bitRate) : "null") +
           ",\"frame_rate\":" + JsonNumber(n.frameRate) + "}";
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += UnicodeEscape(c);
        } else if (c >= 0x80) {
            const size_t length = Utf8SequenceLength(text, i);
            if (length == 0) {
                // A byte that is not UTF-8 stays recoverable: U+DC80..U+DCFF
                // stand for bytes 0x80..0xFF, as Python's surrogateescape
                // reads them.
                out += UnicodeEscape(0xDC00 + c);
                ++i;
                continue;
            }
            out.append(text, i, length);
            i += length;
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}
