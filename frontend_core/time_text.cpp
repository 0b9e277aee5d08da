#include "frontend_core/time_text.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// Two digits at least, with a leading zero below 10.
std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The number at the start of `text`, read as atol reads it (see the header).
std::int32_t NumberOf(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate the magnitude in 64 bits and stop growing past the limit.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);  // -2^31 still fits
    return static_cast<std::int32_t>(std::min(magnitude, kLimit - 1));
}

// 32-bit two's-complement arithmetic without undefined behaviour.
std::int32_t Wrap(std::uint32_t value) { return static_cast<std::int32_t>(value); }
std::uint32_t U(std::int32_t value) { return static_cast<std::uint32_t>(value); }

}  // namespace

std::string FormatTime(int ms) {
    if (ms < 0) return "00:00:00.000";
    const int r = ms % 1000;
    const std::string millis = r < 10    ? "00" + std::to_string(r)
                               : r < 100 ? "0" + std::to_string(r)
                                         : std::to_string(r);
    const int s = ms / 1000;
    return TwoDigits(s / 3600) + ":" + TwoDigits(s % 3600 / 60) + ":" + TwoDigits(s % 60) + "." +
           millis;
}

int ParseTime(std::string_view text) {
    constexpr auto npos = std::string_view::npos;
    const std::size_t firstColon = text.find(':');
    const std::int32_t hours = firstColon == npos ? 0 : NumberOf(text.substr(0, firstColon));
    const std::int32_t minutes = firstColon == npos ? 0 : NumberOf(text.substr(firstColon + 1, 2));
    const std::size_t lastColon = text.rfind(':');
    const std::int32_t seconds = NumberOf(lastColon == npos ? text : text.substr(lastColon + 1));
    const std::size_t dot = text.find('.');
    const std::int32_t millis = NumberOf(dot == npos ? text : text.substr(dot + 1));

    const std::int32_t totalSeconds = Wrap(U(hours) * 3600u + U(minutes) * 60u + U(seconds));
    return Wrap(U(totalSeconds) * 1000u + U(millis));
}
