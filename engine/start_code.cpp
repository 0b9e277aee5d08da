#include "engine/start_code.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmora {

namespace {

// The prefix starting at d[i], byte by byte; for the last few bytes.
std::size_t NextStartCodeBytewise(const std::uint8_t* d, std::size_t i, std::size_t size) {
    for (; i + 2 < size; ++i)
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) return i;
    return size;
}

#if defined(__SSE2__)

// Sixteen places at once: the bytes at i, i + 1 and i + 2 of each place are
// loaded as three vectors and compared with 00, 00 and 01.
std::size_t NextStartCodeWide(const std::uint8_t* d, std::size_t i, std::size_t size) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi8(1);
    for (; i + 18 <= size; i += 16) {
        const auto at = [&](std::size_t k) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + k));
        };
        const __m128i found =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(at(0), zero), _mm_cmpeq_epi8(at(1), zero)),
                          _mm_cmpeq_epi8(at(2), one));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(found));
        if (mask) return i + static_cast<std::size_t>(std::countr_zero(mask));
    }
    return NextStartCodeBytewise(d, i, size);
}

#else

std::uint64_t Load8(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// 0x80 in each byte of `x` that is zero and 0 in every other: exact, as no
// carry crosses from one byte into the next.
std::uint64_t ZeroBytes(std::uint64_t x) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// Eight places at once, in one 64-bit word each for the bytes at i, i + 1
// and i + 2.
std::size_t NextStartCodeWide(const std::uint8_t* d, std::size_t i, std::size_t size) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    for (; i + 10 <= size; i += 8) {
        const std::uint64_t found = ZeroBytes(Load8(d + i)) & ZeroBytes(Load8(d + i + 1)) &
                                    ZeroBytes(Load8(d + i + 2) ^ kOnes);
        if (found) {
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(found)
                                                                       : std::countl_zero(found);
            return i + static_cast<std::size_t>(bit / 8);
        }
    }
    return NextStartCodeBytewise(d, i, size);
}

#endif

}  // namespace

std::size_t NextStartCode(const std::uint8_t* d, std::size_t from, std::size_t size) {
    if (from >= size) return size;
    return NextStartCodeWide(d, from, size);
}

}  // namespace velmora
