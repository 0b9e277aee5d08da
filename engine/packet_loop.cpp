#include "engine/packet_loop.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/input_complete.h"
#include "engine/packet_times.h"
#include "engine/payload_rewrite.h"

namespace velmora {

namespace {

// Where the packets of one input stream go.
struct Route {
    int output = -1;  // -1: dropped
    AVRational inTimeBase{0, 1};
    AVRational outTimeBase{0, 1};
    TimeLine::StreamState line;
    std::int64_t lastDts = AV_NOPTS_VALUE;  // of the last packet handed to the muxer
    PayloadRewrite payload;                 // what the packet's contents need first
};

struct Plan {
    std::vector<Route> routes;  // one per input stream
    int copiedStreams = 0;
};

// Everything that is not copied is discarded in the demuxer, which then
// need not even read it.
Plan PlanRoutes(InputSession& session) {
    AVFormatContext* input = session.input.get();
    AVFormatContext* output = session.output.get();
    Plan plan;
    plan.routes.resize(session.streams.size());
    for (size_t i = 0; i < plan.routes.size(); ++i) {
        if (session.streams[i].outputIndex < 0) {
            input->streams[i]->discard = AVDISCARD_ALL;
            continue;
        }
        AVStream* stream = input->streams[i];
        Route& route = plan.routes[i];
        route.output = session.streams[i].outputIndex;
        route.inTimeBase = stream->time_base;
        route.outTimeBase = output->streams[route.output]->time_base;
        route.payload = PayloadRewrite(stream, output->streams[route.output]);
        const AVRational rate = av_guess_frame_rate(input, stream, nullptr);
        if (rate.num > 0 && rate.den > 0)
            route.line.frameDuration = av_rescale_q(1, av_inv_q(rate), AV_TIME_BASE_Q);
        ++plan.copiedStreams;
    }
    return plan;
}

// Writes one packet and leaves `packet` empty. A single copied stream goes
// straight to the muxer, with nothing to interleave; several are
// interleaved without holding seconds of video in memory for each other.
int Write(AVFormatContext* output, AVPacket* packet, bool interleave) {
    if (interleave) return av_interleaved_write_frame(output, packet);  // takes the contents
    const int rc = av_write_frame(output, packet);
    av_packet_unref(packet);
    return rc;
}

// How a failed av_read_frame() is to be taken.
enum class ReadFailure { kEnd, kError, kTryAgain };

// The end of the input is only the end of the input: an error of the file
// underneath is a read error, whatever the demuxer made of it. A demuxer
// that met damaged data may find its feet again further on, so its own
// complaints are read past, as long as the file goes on.
ReadFailure Classify(AVFormatContext* input, int rc, int& complaints) {
    AVIOContext* io = input->pb;
    if (io && io->error < 0 && io->error != AVERROR_EOF) return ReadFailure::kError;
    if (rc == AVERROR_EOF) return ReadFailure::kEnd;
    if (rc == AVERROR(EAGAIN)) return ReadFailure::kTryAgain;
    if (io && avio_feof(io)) return ReadFailure::kEnd;
    constexpr int kMostComplaintsInARow = 10000;
    return ++complaints > kMostComplaintsInARow ? ReadFailure::kError : ReadFailure::kTryAgain;
}

// The start of a packet whose end the file no longer holds: the demuxer
// hands it on marked corrupt (AVI does), its data running up to the end of
// the file. It is not the input's packet, only a piece of it.
bool CutByTheEnd(const AVPacket* packet, std::int64_t size) {
    return (packet->flags & AV_PKT_FLAG_CORRUPT) != 0 && size > 0 && packet->pos >= 0 &&
           packet->pos + packet->size >= size;
}

// Progress of the input in percent, never going back. Where the time line
// started again, the times no longer say how far the copy is: the read
// position does.
int Progress(const CopyControl& control, AVFormatContext* input, std::int64_t size, bool jumped,
             int before) {
    double share = -1;
    if (jumped && size > 0 && input->pb)
        share = static_cast<double>(avio_tell(input->pb)) / static_cast<double>(size);
    else if (std::isfinite(control.end) && control.end > 0)
        share = control.videoPos / control.end;
    if (share < 0) return before;
    return std::max(before, static_cast<int>(std::clamp(share * 100.0, 0.0, 100.0)));
}

}  // namespace

CopyResult CopyVideoPackets(InputSession& session, const CopyControl& control) {
    CopyResult result;
    PacketPtr packet(av_packet_alloc());
    if (!packet) {
        result.writeError = AVERROR(ENOMEM);
        return result;
    }
    Plan plan = PlanRoutes(session);
    std::vector<Route>& routes = plan.routes;
    AVFormatContext* input = session.input.get();
    AVFormatContext* output = session.output.get();
    const bool interleave = plan.copiedStreams > 1;
    if (interleave) output->max_interleave_delta = 1;
    const bool needsTimes = (output->oformat->flags & AVFMT_NOTIMESTAMPS) == 0;
    const bool equalDtsAllowed = (output->oformat->flags & AVFMT_TS_NONSTRICT) != 0;
    TimeLine timeLine((input->iformat->flags & AVFMT_TS_DISCONT) != 0);
    const std::int64_t size = InputSize(input);
    // A copy made again through the parser goes on from the progress shown.
    int progress = control.end > 0 ? std::max(0, control.progress.load()) : -1;
    control.progress.store(progress, std::memory_order_relaxed);
    int complaints = 0;
    UnparsedVideo* unparsed = session.unparsed.get();
    if (unparsed && unparsed->Refused()) {
        result.needsParser = true;
        return result;
    }

    while (!control.stop.load(std::memory_order_relaxed)) {
        const int rc = av_read_frame(input, packet.get());
        // A read the stop request cut short may still have made a packet:
        // it is never written, so the output ends on a whole one.
        if (control.stop.load(std::memory_order_relaxed)) {
            av_packet_unref(packet.get());
            break;
        }
        if (rc < 0) {
            const ReadFailure failure = Classify(input, rc, complaints);
            if (failure == ReadFailure::kTryAgain) continue;
            if (failure == ReadFailure::kError) {
                const int ioError = input->pb ? input->pb->error : 0;
                result.readError = ioError < 0 && ioError != AVERROR_EOF ? ioError : rc;
                result.readErrorAt = static_cast<std::int64_t>(control.videoPos * AV_TIME_BASE);
            }
            break;
        }
        complaints = 0;
        const size_t index = static_cast<size_t>(packet->stream_index);
        if (index >= routes.size() || routes[index].output < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        if (CutByTheEnd(packet.get(), size)) {
            av_packet_unref(packet.get());
            ++result.cutByTheEnd;
            continue;
        }
        if (unparsed) {
            const UnparsedVideo::Verdict verdict = unparsed->Admit(packet.get());
            if (verdict != UnparsedVideo::Verdict::kCopy) av_packet_unref(packet.get());
            if (verdict == UnparsedVideo::Verdict::kSkip) continue;
            if (verdict == UnparsedVideo::Verdict::kNeedsParser) {
                result.needsParser = true;
                break;
            }
        }
        Route& route = routes[index];
        ++result.videoPacketsRead;
        // A packet that cannot be made what the output needs (DV sound left
        // in a frame, say) is never written as it is: the copy is refused.
        if (const int rc = route.payload.Apply(packet.get()); rc < 0) {
            av_packet_unref(packet.get());
            result.refusal = rc;
            break;
        }

        // Progress is that of the previous video packet.
        progress = Progress(control, input, size, timeLine.Jumps() > 0, progress);
        control.progress.store(progress, std::memory_order_relaxed);

        // Map, follow the time line, rescale, rebase, make the times valid,
        // write.
        timeLine.Follow(packet.get(), route.inTimeBase, route.line);
        av_packet_rescale_ts(packet.get(), route.inTimeBase, route.outTimeBase);
        packet->pos = -1;
        session.shift.Rebase(packet.get(), route.outTimeBase);
        if (packet->pts != AV_NOPTS_VALUE)
            control.videoPos =
                static_cast<double>(packet->pts) * route.outTimeBase.num / route.outTimeBase.den;
        packet->stream_index = route.output;
        if (needsTimes) MakeTimesValid(packet.get(), route.lastDts, equalDtsAllowed);

        const std::int64_t dts = packet->dts;
        const int written = Write(output, packet.get(), interleave);
        if (written >= 0) {
            ++result.videoPacketsWritten;
            if (dts != AV_NOPTS_VALUE) route.lastDts = dts;
        } else if (output->pb && output->pb->error < 0) {
            result.writeError = output->pb->error;
            break;
        } else {
            ++result.leftOut;
            result.lastRejection = written;
        }
    }
    result.stopped = control.stop.load(std::memory_order_relaxed);
    result.timeLineJumps = timeLine.Jumps();
    return result;
}

}  // namespace velmora
