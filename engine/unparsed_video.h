#pragma once

// Copying the video of a transport stream without FFmpeg's parser.
//
// FFmpeg's TS demuxer hands out PES packets, and a parser then cuts them
// into frames and fills in their key flags and missing times: for H.264,
// HEVC and MPEG-2 the parser looks at every byte, and that costs much of a
// copy's time. In nearly every file a PES already holds exactly one frame
// with its times. After the input is analysed as usual, the demuxer is set
// back to the start of the file and reads on without the parser; every PES
// is then checked to be what the parser would have made of it: one whole
// frame (see FrameCuts), with times the parser's path would leave as they
// are. The key flag is the parser's own, from a parser of ours
// that only reads each frame's headers (for HEVC, only those up to the
// first slice's; the NAL type of that slice tells the key flag). The first packet that fails the
// check ends the copy, which is then made again from the start through the
// parser: every copy is the same as one made through the parser.

#include <cstdint>
#include <memory>

#include "engine/ff_ptr.h"
#include "engine/frame_cuts.h"

namespace velmora {

struct ParserDeleter {
    void operator()(AVCodecParserContext* parser) const { av_parser_close(parser); }
};

class UnparsedVideo {
public:
    // What to do with a packet of the video stream.
    enum class Verdict { kCopy, kSkip, kNeedsParser };

    // Sets `input`, analysed and not yet read from, to read stream `video`
    // without the parser, when it is a seekable transport stream of a codec
    // FrameCuts knows. Null when the input keeps its parser. Once this
    // returned non-null, the input has been read from: a copy must follow
    // the verdicts, and start again with a new input on kNeedsParser.
    static std::unique_ptr<UnparsedVideo> Start(AVFormatContext* input, int video);

    // Checks the next packet of the video stream and gives it the key flag
    // the parser would. Packets the parser's path never saw (read before
    // the first table of programs when the file was opened) are skipped.
    Verdict Admit(AVPacket* packet);

    // True when the copy must be made through the parser whatever comes:
    // the first video packet could not be found, or the demuxer not set
    // back to the start.
    bool Refused() const { return m_refused; }

    // Why the last kNeedsParser was given, for the log.
    const char* Why() const { return m_why; }

    // Packets copied without the parser so far.
    std::int64_t Admitted() const { return m_admitted; }

    // Use Start(). `first` is the first packet of `stream` read through the
    // parser.
    UnparsedVideo(const AVStream* stream, const AVPacket& first);

private:
    bool TimesStay(const AVPacket* packet);
    bool KeyFlag(AVPacket* packet);
    Verdict Refuse(const char* why);

    AVCodecID m_codec;
    int m_delay;  // frames of reordering, as the demuxer counts it
    FrameCuts m_cuts;
    std::unique_ptr<AVCodecParserContext, ParserDeleter> m_parser;
    CodecContextPtr m_parserContext;
    bool m_refused = false;  // no first packet to line up with
    const char* m_why = "";

    // The first packet the parser's path gave, to line the reading up with.
    std::int64_t m_firstPos;
    std::int64_t m_firstPts;
    std::int64_t m_firstDts;
    bool m_lined = false;

    // The demuxer's count of decode times in and out of order.
    std::int64_t m_lastOrderDts = AV_NOPTS_VALUE;
    int m_ordered = 0;
    int m_misordered = 0;
    std::int64_t m_admitted = 0;
};

}  // namespace velmora
