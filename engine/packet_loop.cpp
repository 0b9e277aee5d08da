#include "engine/packet_loop.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/av_converter.h"

namespace velmora {

namespace {

// The shift of one video track: the output time of its first packet, when
// that is positive, is taken off every packet so the track starts at zero.
struct Track {
    bool first = true;
    std::int64_t offset = 0;
};

// Where the packets of one input stream go.
struct Route {
    int output = -1;         // -1: dropped
    Track* track = nullptr;  // nullptr: copied without shift
    AVRational inTimeBase{0, 1};
    AVRational outTimeBase{0, 1};
    std::int64_t lastDts = AV_NOPTS_VALUE;  // of the last packet handed to the muxer
};

// The muxing rule of FFmpeg: in each stream the dts grows, or at least
// stays, where the container allows that. FFmpeg does not check it for the
// packet after one at dts 0, and a muxer that then sees time go back may
// abort the whole program (the ASF muxer asserts). Such a packet would be
// refused anyway; the loop leaves it out.
bool GoesBack(const Route& route, const AVPacket* packet, bool equalAllowed) {
    if (route.lastDts == AV_NOPTS_VALUE || packet->dts == AV_NOPTS_VALUE) return false;
    return packet->dts < route.lastDts || (packet->dts == route.lastDts && !equalAllowed);
}

// A packet the demuxer could give no time (in an MPEG program stream, a
// PES packet may carry several small pictures and only one time) follows
// the one before it by a single tick. A muxer that schedules packets by
// their time needs one: FFmpeg's MPEG-PS muxer loops for ever on a packet
// without it once the next timed packet lies far ahead, as in video of a
// few pictures per second. The pts stays unset, so such muxers write no
// time for the packet, as in the input. A packet whose pts would come
// before that time is left as it is.
void TimeUntimed(AVPacket* packet, const Route& route) {
    if (packet->dts != AV_NOPTS_VALUE || route.lastDts == AV_NOPTS_VALUE) return;
    const std::int64_t next = route.lastDts + 1;
    if (packet->pts == AV_NOPTS_VALUE || packet->pts >= next) packet->dts = next;
}

// Unset timestamps stay unset: shifting AV_NOPTS_VALUE would make a
// wrapped, meaningless time of it.
void Rebase(AVPacket* packet, Track& track) {
    if (track.first) {
        if (packet->pts != AV_NOPTS_VALUE && packet->pts > 0) track.offset = packet->pts;
        track.first = false;
    }
    if (packet->pts != AV_NOPTS_VALUE) packet->pts -= track.offset;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts -= track.offset;
}

struct Plan {
    std::vector<Route> routes;  // one per input stream
    int copiedStreams = 0;
};

// Video streams 0 and 1 together are two separate tracks (A and B), each
// with its own shift, and any further video stream keeps its times. In every
// other layout all video streams share track A. Everything that is not
// copied is discarded in the demuxer, which then need not even read it.
Plan PlanRoutes(InputSession& session, Track& a, Track& b) {
    AVFormatContext* input = session.input.get();
    AVFormatContext* output = session.output.get();
    auto copied = [&](size_t i) {
        return i < session.streams.size() && session.streams[i].outputIndex >= 0 &&
               session.streams[i].type == AVMEDIA_TYPE_VIDEO;
    };
    const bool twoTracks = copied(0) && copied(1);

    Plan plan;
    plan.routes.resize(session.streams.size());
    for (size_t i = 0; i < plan.routes.size(); ++i) {
        if (!copied(i)) {
            input->streams[i]->discard = AVDISCARD_ALL;
            continue;
        }
        Route& route = plan.routes[i];
        route.output = session.streams[i].outputIndex;
        route.track = !twoTracks ? &a : i == 0 ? &a : i == 1 ? &b : nullptr;
        route.inTimeBase = input->streams[i]->time_base;
        route.outTimeBase = output->streams[route.output]->time_base;
        ++plan.copiedStreams;
    }
    return plan;
}

// Writes one packet and leaves `packet` empty. The empty audio tracks never
// get a packet, so FFmpeg's interleaver would hold up to 10 s of video in
// memory waiting for them: a single copied stream goes straight to the
// muxer, and several are interleaved without waiting for the silent ones.
int Write(AVFormatContext* output, AVPacket* packet, bool interleave) {
    if (interleave) return av_interleaved_write_frame(output, packet);  // takes the contents
    const int rc = av_write_frame(output, packet);
    av_packet_unref(packet);
    return rc;
}

}  // namespace

CopyResult CopyVideoPackets(InputSession& session, CAVConverter& engine, int current) {
    CopyResult result;
    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        result.writeError = AVERROR(ENOMEM);
        return result;
    }
    Track a, b;
    Plan plan = PlanRoutes(session, a, b);
    std::vector<Route>& routes = plan.routes;
    AVFormatContext* input = session.input.get();
    AVFormatContext* output = session.output.get();
    const bool interleave = plan.copiedStreams > 1;
    if (interleave) output->max_interleave_delta = 1;
    const bool needsTimes = (output->oformat->flags & AVFMT_NOTIMESTAMPS) == 0;
    const bool equalDtsAllowed = (output->oformat->flags & AVFMT_TS_NONSTRICT) != 0;
    const double end = engine.m_dEnd[current];
    const bool knownEnd = std::isfinite(end) && end > 0;

    while (!engine.m_bStop.load(std::memory_order_relaxed)) {
        if (av_read_frame(input, packet.get()) < 0) break;  // end of input, read error or stop
        const size_t index = static_cast<size_t>(packet->stream_index);
        if (index >= routes.size() || routes[index].output < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        Route& route = routes[index];

        // Progress is that of the previous video packet; no percentage
        // without an end point.
        int progress = -1;
        if (knownEnd)
            progress = static_cast<int>(std::clamp(engine.m_dVideoPos * 100.0 / end, 0.0, 100.0));
        engine.m_nProgress.store(progress, std::memory_order_relaxed);

        av_packet_rescale_ts(packet.get(), route.inTimeBase, route.outTimeBase);
        packet->pos = -1;
        if (route.track) {
            Rebase(packet.get(), *route.track);
            if (route.track == &a && packet->pts != AV_NOPTS_VALUE)
                engine.m_dVideoPos = static_cast<double>(packet->pts) * route.outTimeBase.num /
                                     route.outTimeBase.den;
        }
        packet->stream_index = route.output;
        if (needsTimes) TimeUntimed(packet.get(), route);
        if (GoesBack(route, packet.get(), equalDtsAllowed)) {
            av_packet_unref(packet.get());
            result.lastRejection = AVERROR(EINVAL);
            continue;
        }

        const std::int64_t dts = packet->dts;
        const int rc = Write(output, packet.get(), interleave);
        if (rc >= 0) {
            ++result.videoPacketsWritten;
            if (dts != AV_NOPTS_VALUE) route.lastDts = dts;
        } else if (output->pb && output->pb->error < 0) {
            result.writeError = output->pb->error;
            break;
        } else {
            result.lastRejection = rc;  // refused for its timestamps: skipped
        }
    }
    return result;
}

}  // namespace velmora
