#include "engine/frame_cuts.h"

#include <algorithm>

#include "engine/start_code.h"

namespace velmora {

namespace {

// An unsigned Exp-Golomb number at the start of d[from..], read as the
// H.264 parser reads a slice's first macroblock: straight from the bytes,
// one more byte at a time until the code fits with a bit to spare. False
// when the packet ends first or the code is longer than the parser reads.
bool ReadFirstMb(const std::uint8_t* d, std::size_t from, std::size_t size, std::uint32_t& value) {
    std::uint64_t bits = 0;
    for (int n = 1; n <= 5; ++n) {
        if (from + n > size) return false;
        bits = (bits << 8) | d[from + n - 1];
        const int total = 8 * n;
        int zeros = 0;
        while (zeros < total && !((bits >> (total - 1 - zeros)) & 1)) ++zeros;
        if (zeros > 31 || 2 * zeros + 1 >= total) continue;
        const int codeBits = 2 * zeros + 1;
        const std::uint64_t code = (bits >> (total - codeBits)) & ((1ull << codeBits) - 1);
        value = static_cast<std::uint32_t>(code - 1);
        return true;
    }
    return false;
}

bool IsH264SliceStart(int type) { return type == 1 || type == 2 || type == 5; }
bool IsH264FrameHeader(int type) { return type >= 6 && type <= 9; }  // SEI, SPS, PPS, AUD

bool IsHevcSlice(int type) { return type <= 9 || (type >= 16 && type <= 21); }
bool IsHevcIrap(int type) { return type >= 16 && type <= 23; }
bool IsHevcUnitStart(int type) {
    return (type >= 32 && type <= 37) || type == 39 || (type >= 41 && type <= 44) ||
           (type >= 48 && type <= 55);
}

// True for a NAL header FFmpeg reads: the forbidden bit clear, layer 0 and
// a temporal id; FFmpeg passes over the others as if they were not there.
bool HevcHeaderRead(const std::uint8_t* header) {
    const bool forbidden = header[0] & 0x80;
    const int layer = ((header[0] & 1) << 5) | (header[1] >> 3);
    const int temporalIdPlus1 = header[1] & 7;
    return !forbidden && layer == 0 && temporalIdPlus1 != 0;
}

// Bytes of a slice NAL unit, from its start code on, that hold every field
// the parser reads from the header of a picture's first slice: at most 80
// bits up to the picture order count, which emulation prevention bytes
// spread over at most 15 bytes behind the start code and the NAL header.
constexpr std::size_t kHevcSliceHeaderBytes = 64;

bool IsMpegSlice(int code) { return code >= 0x01 && code <= 0xAF; }
constexpr int kMpegSequenceHeader = 0xB3;
constexpr int kMpegExtension = 0xB5;
constexpr int kMpegSequenceEnd = 0xB7;

}  // namespace

bool FrameCuts::Knows(AVCodecID codec) {
    return codec == AV_CODEC_ID_H264 || codec == AV_CODEC_ID_HEVC ||
           codec == AV_CODEC_ID_MPEG2VIDEO;
}

void FrameCuts::Cut(Scan& scan, const std::uint8_t* data, std::size_t at, std::size_t size) const {
    if (at == size) {
        scan.cutAtEnd = true;
        return;
    }
    // Zero bytes before the cut go with the frame before; the bytes of the
    // stream stay the same and so does every frame read back from the copy.
    for (std::size_t i = 0; i < at; ++i)
        if (data[i] != 0) {
            scan.bad = true;
            return;
        }
    if (scan.cutAtStart || m_first) scan.bad = true;
    scan.cutAtStart = true;
}

FrameCuts::Scan FrameCuts::ScanH264(const std::uint8_t* d, std::size_t size) {
    Scan scan;
    for (std::size_t p = NextStartCode(d, 0, size); p < size && !scan.bad;
         p = NextStartCode(d, p + 3, size)) {
        if (p + 3 >= size) return scan.bad = true, scan;
        const int type = d[p + 3] & 0x1F;
        // Behind three zero bytes or more the cut takes one zero along; at
        // the start of the packet that zero may be the previous packet's.
        if (p == 0 && m_endedInZero) return scan.bad = true, scan;
        const std::size_t cut = p > 0 && d[p - 1] == 0 ? p - 1 : p;
        if (IsH264FrameHeader(type)) {
            if (m_started) Cut(scan, d, cut, size);
            m_started = false;
        } else if (IsH264SliceStart(type)) {
            std::uint32_t mb = 0;
            if (!ReadFirstMb(d, p + 4, size, mb)) return scan.bad = true, scan;
            if (m_started && mb <= m_lastMb) Cut(scan, d, cut, size);
            m_started = true;
            m_lastMb = mb;
        }
    }
    return scan;
}

FrameCuts::Scan FrameCuts::ScanHevc(const std::uint8_t* d, std::size_t size) {
    Scan scan;
    m_hevcPicture = HevcPicture{};
    m_hevcPicture.headersEnd = size;
    bool sliceSeen = false;
    for (std::size_t p = NextStartCode(d, 0, size); p < size && !scan.bad;
         p = NextStartCode(d, p + 3, size)) {
        // The parser decides on the byte after the two-byte NAL header.
        if (p + 5 >= size) return scan.bad = true, scan;
        const int type = (d[p + 3] >> 1) & 0x3F;
        if (!sliceSeen && IsHevcSlice(type) && HevcHeaderRead(d + p + 3)) {
            sliceSeen = true;
            NotePicture(d, p, size);
        }
        if (IsHevcUnitStart(type)) {
            if (m_started) Cut(scan, d, p, size);
            m_started = false;
        } else if (IsHevcSlice(type) && (d[p + 5] & 0x80)) {
            if (m_started) Cut(scan, d, p, size);
            m_started = true;
        }
    }
    return scan;
}

void FrameCuts::NotePicture(const std::uint8_t* d, std::size_t at, std::size_t size) {
    // The parser stops at the first slice of a picture once it read its
    // header; a slice that is not the first segment of its picture may be
    // followed by others it would read too.
    if (!(d[at + 5] & 0x80)) return;
    const int type = (d[at + 3] >> 1) & 0x3F;
    m_hevcPicture.decided = true;
    m_hevcPicture.key = IsHevcIrap(type);
    m_hevcPicture.headersEnd = std::min(size, at + kHevcSliceHeaderBytes);
}

FrameCuts::Scan FrameCuts::ScanMpeg2(const std::uint8_t* d, std::size_t size) {
    Scan scan;
    int& state = m_mpegFrameState;
    std::size_t p = NextStartCode(d, 0, size);
    while (p < size && !scan.bad) {
        if (p + 3 >= size) return scan.bad = true, scan;
        const int code = d[p + 3];
        std::size_t next = p + 4;
        if (state == 0 && IsMpegSlice(code)) {
            state = 4;
            next = p + 5;
        }
        if (code == kMpegSequenceEnd) {
            state = 0;
            Cut(scan, d, p + 4, size);
            p = NextStartCode(d, p + 4, size);
            continue;
        }
        if (state == 2 && code == kMpegSequenceHeader) state = 0;
        if (state == 4 && !IsMpegSlice(code)) {
            Cut(scan, d, p, size);
            state = 0;  // the new frame starts with this start code
            if (state == 0 && code == kMpegExtension) state = 1;
        } else if (state < 4 && code == kMpegExtension) {
            ++state;
        }
        if (state & 1) {
            // Inside an extension: a picture coding extension tells a frame
            // picture from the first or the second field of a frame.
            if (p + 6 >= size) return scan.bad = true, scan;
            if ((d[p + 4] & 0xF0) != 0x80) {
                --state;
                next = p + 5;
            } else {
                state = (d[p + 6] & 3) == 3 ? 0 : (state + 1) & 3;
                next = p + 7;
            }
        }
        p = NextStartCode(d, next, size);
    }
    return scan;
}

bool FrameCuts::IsOneFrame(const std::uint8_t* data, std::size_t size) {
    if (!data || size == 0) return false;
    Scan scan;
    switch (m_codec) {
        case AV_CODEC_ID_H264:
            scan = ScanH264(data, size);
            break;
        case AV_CODEC_ID_HEVC:
            scan = ScanHevc(data, size);
            break;
        case AV_CODEC_ID_MPEG2VIDEO:
            scan = ScanMpeg2(data, size);
            break;
        default:
            return false;
    }
    const bool needsCut = !m_first && !m_cutBefore;
    const bool whole = !scan.bad && scan.cutAtStart == needsCut;
    m_first = false;
    m_cutBefore = scan.cutAtEnd;
    m_endedInZero = data[size - 1] == 0;
    return whole;
}

}  // namespace velmora
