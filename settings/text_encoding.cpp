#include "text_encoding.h"

#include <cstdint>

namespace textenc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16Le(std::string& out, char16_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Decodes one UTF-8 sequence at text[pos]. Encoded surrogates are accepted
// only when allowSurrogates is set (they come from Utf16LeToUtf8). Returns
// the code point and sets *length, or returns -1 with *length = 1 for a byte
// that does not start a valid sequence (*length = 3 for a refused surrogate).
long DecodeUtf8(std::string_view text, std::size_t pos, bool allowSurrogates, std::size_t* length) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[pos + i]); };
    const std::uint8_t lead = byte(0);
    *length = 1;
    std::size_t count = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        count = 2, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, c = lead & 0x07, minimum = 0x10000;
    } else {
        return -1;
    }
    if (pos + count > text.size()) return -1;
    for (std::size_t i = 1; i < count; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return -1;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF) return -1;
    *length = count;  // an encoded surrogate is one character, if a rejected one
    if (IsSurrogate(c) && !allowSurrogates) return -1;
    return static_cast<long>(c);
}

}  // namespace

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    const std::size_t units = bytes.size() / 2;
    const auto unitAt = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                     (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char16_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit);  // unpaired surrogates included, see header
    }
    return out;
}

std::string Utf8ToUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t length = 0;
        const long decoded = DecodeUtf8(text, pos, true, &length);
        const char32_t c = decoded < 0 ? kReplacement : static_cast<char32_t>(decoded);
        pos += length;
        if (c >= 0x10000) {
            AppendUtf16Le(out, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            AppendUtf16Le(out, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            AppendUtf16Le(out, static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string ToValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t length = 0;
        if (DecodeUtf8(text, pos, false, &length) < 0) {
            AppendUtf8(out, kReplacement);
        } else {
            out.append(text.substr(pos, length));
        }
        pos += length;
    }
    return out;
}

}  // namespace textenc
