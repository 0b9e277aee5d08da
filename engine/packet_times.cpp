#include "engine/packet_times.h"

#include <algorithm>
#include <cstdint>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace velmora {

namespace {

// Times from damaged files can be anything: sums saturate instead of
// overflowing, and never land on AV_NOPTS_VALUE (INT64_MIN, "unset").
std::int64_t Add(std::int64_t a, std::int64_t b) {
    constexpr std::int64_t kMax = INT64_MAX;
    constexpr std::int64_t kMin = INT64_MIN + 1;
    if (b > 0 && a > kMax - b) return kMax;
    if (b < 0 && a < kMin - b) return kMin;
    return a + b;
}

std::int64_t Median(std::int64_t a, std::int64_t b, std::int64_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

std::int64_t Negated(std::int64_t a) { return a == INT64_MIN ? INT64_MAX : -a; }

void Move(AVPacket* packet, std::int64_t by) {
    if (packet->pts != AV_NOPTS_VALUE) packet->pts = Add(packet->pts, by);
    if (packet->dts != AV_NOPTS_VALUE) packet->dts = Add(packet->dts, by);
}

}  // namespace

void TimeLine::Follow(AVPacket* packet, AVRational timeBase, StreamState& state) {
    if (!m_mayJump) return;
    if (m_shift != 0) Move(packet, av_rescale_q(m_shift, AV_TIME_BASE_Q, timeBase));

    const std::int64_t own = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (own == AV_NOPTS_VALUE) return;
    std::int64_t dts = av_rescale_q(own, timeBase, AV_TIME_BASE_Q);
    if (dts == AV_NOPTS_VALUE) return;
    if (state.nextDts != AV_NOPTS_VALUE) {
        const std::int64_t delta = Add(dts, Negated(state.nextDts));
        const bool jumped =
            delta > kJumpThreshold || delta < -kJumpThreshold ||
            (state.lastDts != AV_NOPTS_VALUE && Add(dts, kBackThreshold) < state.lastDts);
        if (jumped) {
            m_shift = Add(m_shift, Negated(delta));
            ++m_jumps;
            Move(packet, Negated(av_rescale_q(delta, AV_TIME_BASE_Q, timeBase)));
            dts = Add(dts, Negated(delta));
        }
    }
    std::int64_t duration = packet->duration > 0
                                ? av_rescale_q(packet->duration, timeBase, AV_TIME_BASE_Q)
                                : state.frameDuration;
    if (duration <= 0) duration = av_rescale_q(1, timeBase, AV_TIME_BASE_Q);
    state.lastDts = dts;
    state.nextDts = Add(dts, duration);
}

void FileShift::FromStreams(const AVFormatContext* input, const std::vector<bool>& kept) {
    for (unsigned i = 0; i < input->nb_streams && i < kept.size(); ++i) {
        const AVStream* stream = input->streams[i];
        if (!kept[i] || stream->start_time == AV_NOPTS_VALUE) continue;
        if (m_known &&
            av_compare_ts(stream->start_time, stream->time_base, m_amount, m_timeBase) >= 0)
            continue;
        m_known = true;
        m_amount = stream->start_time;
        m_timeBase = stream->time_base;
    }
    if (m_amount < 0) m_amount = 0;
}

void FileShift::Rebase(AVPacket* packet, AVRational timeBase) {
    if (!m_known) {
        // A first packet whose pts is unset, zero or negative leaves the
        // file unshifted.
        m_known = true;
        m_amount = packet->pts != AV_NOPTS_VALUE ? std::max<std::int64_t>(packet->pts, 0) : 0;
        m_timeBase = timeBase;
    }
    Move(packet, Negated(In(timeBase)));
}

std::int64_t FileShift::In(AVRational timeBase) const {
    return m_amount == 0 ? 0 : av_rescale_q(m_amount, m_timeBase, timeBase);
}

void MakeTimesValid(AVPacket* packet, std::int64_t lastDts, bool equalDtsAllowed) {
    const bool known = lastDts != AV_NOPTS_VALUE;
    // FFmpeg's MPEG-PS muxer loops for ever on a packet without any time
    // once the next timed packet lies far ahead; the pts stays unset, so
    // such muxers write no time for it, as in the input.
    if (packet->dts == AV_NOPTS_VALUE && known &&
        (packet->pts == AV_NOPTS_VALUE || packet->pts > lastDts))
        packet->dts = Add(lastDts, 1);

    if (packet->pts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE &&
        packet->dts > packet->pts) {
        if (!known) {
            packet->dts = packet->pts;
        } else {
            packet->pts = packet->dts = Median(packet->pts, packet->dts, Add(lastDts, 1));
        }
    }

    if (known && packet->dts != AV_NOPTS_VALUE) {
        const std::int64_t lowest = Add(lastDts, equalDtsAllowed ? 0 : 1);
        if (packet->dts < lowest) {
            if (packet->pts != AV_NOPTS_VALUE && packet->pts >= packet->dts)
                packet->pts = std::max(packet->pts, lowest);
            packet->dts = lowest;
        }
    }
}

}  // namespace velmora
