#pragma once

// Where FFmpeg's video parsers would cut an H.264, HEVC or MPEG-2 elementary
// stream into frames, followed packet by packet. A transport stream carries
// such video in PES packets; when every PES holds exactly one frame as the
// parser would cut it, the PES packets can be copied as they are, without
// running the parser over every byte, and the copy reads back the same as
// one made through the parser.
//
// The rules are those of the parsers in FFmpeg's libavcodec, written anew:
//  - H.264: a frame ends before an SEI, SPS, PPS or access unit delimiter
//    that follows a slice, and before a slice whose first macroblock is not
//    after the previous slice's.
//  - HEVC: a frame ends before a NAL that starts an access unit (parameter
//    sets, prefix SEI, end of sequence, reserved types) that follows a
//    slice, and before a slice that is the first of its picture.
//  - MPEG-2: a frame ends before the first start code other than a slice
//    once its slices began, and right after a sequence end code; the two
//    fields of a field-coded frame stay together.
// A cut falls on the first byte of the start code; zero bytes in front of
// it stay with the frame before (H.264 takes one of them along).

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace velmora {

class FrameCuts {
public:
    explicit FrameCuts(AVCodecID codec) : m_codec(codec) {}

    // True for the codecs whose cuts this class knows.
    static bool Knows(AVCodecID codec);

    // Takes the next packet of the stream. True when the packet is one whole
    // frame: the parser would cut at its start (apart from zero bytes the
    // cut leaves with the frame before) and nowhere inside it. The first
    // packet of a stream needs no cut at its start.
    bool IsOneFrame(const std::uint8_t* data, std::size_t size);

    // HEVC: what the NAL units of the packet IsOneFrame() took last tell
    // about its picture without FFmpeg's parser, which splits and unescapes
    // every NAL unit of a packet to read a few bytes of headers.
    struct HevcPicture {
        // The first slice the parser reads is the first of its picture:
        // the parser reads the header of that slice and nothing after it.
        bool decided = false;
        // An IRAP picture (NAL types 16 to 23): the parser's key flag.
        bool key = false;
        // When decided, the parser reads nothing at or after this byte:
        // fed only the bytes before it, it tells the same.
        std::size_t headersEnd = 0;
    };
    const HevcPicture& LastHevcPicture() const { return m_hevcPicture; }

private:
    // The cuts found in one packet; `bad` when a cut fell inside it or the
    // packet ends in the middle of what decides a cut.
    struct Scan {
        bool cutAtStart = false;
        bool cutAtEnd = false;
        bool bad = false;
    };
    void Cut(Scan& scan, const std::uint8_t* data, std::size_t at, std::size_t size) const;
    Scan ScanH264(const std::uint8_t* data, std::size_t size);
    Scan ScanHevc(const std::uint8_t* data, std::size_t size);
    Scan ScanMpeg2(const std::uint8_t* data, std::size_t size);
    void NotePicture(const std::uint8_t* data, std::size_t at, std::size_t size);

    AVCodecID m_codec;
    bool m_first = true;
    bool m_cutBefore = false;    // the previous packet ended in a cut (MPEG-2)
    bool m_endedInZero = false;  // the previous packet's last byte was zero
    bool m_started = false;      // the current frame has its slice
    std::uint32_t m_lastMb = 0;
    int m_mpegFrameState = 0;  // MPEG-2: 0 before the picture, 1-3 in its extensions, 4 in slices
    HevcPicture m_hevcPicture;
};

}  // namespace velmora
