#pragma once

// Conversions between the two encodings an INI file may have on disk
// (UTF-16LE with a byte-order mark, or 8-bit text that we take as UTF-8) and
// the UTF-8 strings the settings functions hand out.

#include <string>
#include <string_view>

namespace textenc {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

// UTF-16LE bytes (without the byte-order mark) to 8-bit text. Unpaired
// surrogates are kept as their own three-byte sequences so that
// Utf8ToUtf16Le gives back the very same bytes: a write must not change the
// lines it does not touch. A trailing odd byte is ignored here; the caller
// keeps it.
std::string Utf16LeToUtf8(std::string_view bytes);

// The inverse of Utf16LeToUtf8. Bytes that are not UTF-8 become U+FFFD.
std::string Utf8ToUtf16Le(std::string_view text);

// Replaces every byte sequence that is not valid UTF-8 (including encoded
// surrogates) with U+FFFD, so text read from a UTF-16 file is proper UTF-8.
std::string ToValidUtf8(std::string_view text);

}  // namespace textenc
