#pragma once

// Media lengths as text of the form HH:MM:SS.mmm, for example 01:02:03.045.
// The file list shows a file's length this way and the sound-removal command
// reads it back from the list, so the two conversions must agree exactly:
// for every ms >= 0, ParseTime(FormatTime(ms)) == ms.

#include <string>
#include <string_view>

// Hours have at least two digits (more when needed: 2147483647 gives
// 596:31:23.647), minutes and seconds two, milliseconds three. A negative
// value gives "00:00:00.000".
std::string FormatTime(int ms);

// Reads a time text back into milliseconds. Never fails: each field is read
// like the C library's atol (leading blanks, an optional sign, digits up to
// the first non-digit; no digits gives 0; beyond the 32-bit range it stops
// at the limit), from these places:
//   hours        the text before the first ":" (none without a ":")
//   minutes      at most two characters after the first ":"
//   seconds      the text after the last ":" (the whole text without one)
//   milliseconds the text after the first "." (the whole text without one),
//                as a count: ".5" is 5 ms, not half a second
// and combined as (hours * 3600 + minutes * 60 + seconds) * 1000 +
// milliseconds in 32-bit arithmetic that wraps around on overflow. So "90"
// gives 90090 and "00:01:00" gives 60000.
int ParseTime(std::string_view text);
