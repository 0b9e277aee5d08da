#pragma once

// The timestamp steps of the copy, each a small rule of its own. All times
// are in the output stream's time base unless said otherwise.

#include <cstdint>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace velmora {

// A time line that starts again. In containers whose times may jump (MPEG
// TS and PS, FLV, …: FFmpeg flags their demuxers AVFMT_TS_DISCONT) a joined
// recording, or a single corrupt time, makes the video's dts jump back, or
// far ahead. From such a jump on, every packet of the input is moved so the
// time line goes on one frame after the last packet before it. One per
// input: all its video streams move together, as the ffmpeg program does.
class TimeLine {
public:
    // Video that jumps forward by more than this is taken as a new time
    // line, as the ffmpeg program does.
    static constexpr std::int64_t kJumpThreshold = 10 * AV_TIME_BASE;
    // Video that goes back by more than this is, too.
    static constexpr std::int64_t kBackThreshold = AV_TIME_BASE / 10;

    explicit TimeLine(bool mayJump) : m_mayJump(mayJump) {}

    // Moves `packet` by the shift of the time line so far, and starts a new
    // shift when the packet jumps. `state` is the stream's own memory of
    // where its next packet is expected (AV_TIME_BASE units).
    struct StreamState {
        std::int64_t nextDts = AV_NOPTS_VALUE;
        std::int64_t lastDts = AV_NOPTS_VALUE;
        std::int64_t frameDuration = 0;  // AV_TIME_BASE units; 0 = unknown
    };
    void Follow(AVPacket* packet, AVRational timeBase, StreamState& state);

    // How many times the time line started again in this input.
    int Jumps() const { return m_jumps; }

private:
    bool m_mayJump;
    std::int64_t m_shift = 0;  // AV_TIME_BASE units, added to every packet
    int m_jumps = 0;
};

// The shift of the whole file: the earliest start of the kept streams, when
// positive, is taken off every packet of every kept stream, so the file
// starts at zero and streams that played together (several camera angles,
// a picture-in-picture) still do. Unset timestamps stay unset.
class FileShift {
public:
    // Takes the earliest start the demuxer found for the streams of `input`
    // that `kept` names. Where it found none, the first packet sets the
    // shift as it comes (see Rebase).
    void FromStreams(const AVFormatContext* input, const std::vector<bool>& kept);

    // Moves `packet`, whose times are in `timeBase`, back by the shift.
    void Rebase(AVPacket* packet, AVRational timeBase);

    // The shift in `timeBase`; 0 while it is not known yet, or not positive.
    std::int64_t In(AVRational timeBase) const;

private:
    bool m_known = false;
    std::int64_t m_amount = 0;  // in m_timeBase; never negative
    AVRational m_timeBase{1, AV_TIME_BASE};
};

// Valid times for the muxer, given the way the ffmpeg program's stream copy
// gives them, so a packet is written rather than refused: a packet without
// any time follows the one before it by one tick; a pts before its dts is
// put right (both become the middle one of pts, dts and the next free dts);
// a dts that does not grow where the container needs it to becomes the next
// free dts. `lastDts` is the dts of the stream's last written packet.
void MakeTimesValid(AVPacket* packet, std::int64_t lastDts, bool equalDtsAllowed);

}  // namespace velmora
