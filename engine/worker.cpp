// The worker thread: walks through the inputs of the job one after the
// other, copies each into its output and records each input's result.

#include <algorithm>

#include "engine/av_converter.h"
#include "engine/input_complete.h"
#include "engine/input_setup.h"
#include "engine/output_file.h"
#include "engine/packet_loop.h"

using velmora::CopyResult;
using velmora::InputSession;
using velmora::SetupOutcome;
using velmora::SetupResult;

namespace {

// The input's interrupt callback, so a stop request also ends a read that
// FFmpeg is blocked in.
int StopRequested(void* engine) {
    return static_cast<CAVConverter*>(engine)->m_bStop.load(std::memory_order_relaxed) ? 1 : 0;
}

// Flushes and closes the output file. Returns the first write error, so a
// full disk at the very end is not taken for success.
int CloseOutputFile(AVFormatContext* output) {
    if (!output->pb || (output->oformat->flags & AVFMT_NOFILE)) return 0;
    avio_flush(output->pb);
    const int pending = output->pb->error;
    const int rc = avio_closep(&output->pb);
    return pending < 0 ? pending : rc;
}

}  // namespace

void CAVConverter::Fail(int index, int error) {
    m_nError[index].store(error, std::memory_order_relaxed);
    m_status[index].store(kStatusFailed, std::memory_order_relaxed);
}

// Set-up, copy, trailer and result of input `index`. Whatever happens, every
// FFmpeg object of the input is released and its output file closed when
// `session` goes.
CAVConverter::InputEnd CAVConverter::RunInput(int index) {
    InputSession session;
    const SetupResult setup =
        velmora::SetUpInput(session, m_ppszInputs[index].c_str(), m_ppszOutputs[index].c_str(),
                            AVIOInterruptCB{&StopRequested, this}, m_outputWasFree[index]);
    switch (setup.outcome) {
        case SetupOutcome::kReady:
            break;
        case SetupOutcome::kStopped:
            return InputEnd::kDone;
        case SetupOutcome::kFailInput:
            Fail(index, setup.error);
            return InputEnd::kFailedInput;
        case SetupOutcome::kFailJob:
            Fail(index, setup.error);
            return InputEnd::kFailedJob;
    }

    const CopyResult copy = velmora::CopyVideoPackets(session, *this, index);
    AVFormatContext* output = session.output.get();
    // Written after a stop too: the output then ends where copying stopped.
    const int trailer = av_write_trailer(output);
    const int closed = CloseOutputFile(output);

    // A write failure means the output is not what it claims to be; the
    // next input would meet the same disk, so the job ends.
    const int writeError = copy.writeError < 0 ? copy.writeError : trailer < 0 ? trailer : closed;
    if (writeError < 0) {
        Fail(index, writeError);
        return InputEnd::kFailedJob;
    }
    if (m_bStop.load(std::memory_order_relaxed)) {
        // Stopped before its first picture, the file would be an empty
        // container: nothing to keep, and not even readable as a transport
        // stream. Only a file made for this job is removed.
        if (copy.videoPacketsWritten == 0 && m_outputWasFree[index])
            velmora::RemoveNewFile(m_ppszOutputs[index]);
        return InputEnd::kDone;
    }
    // Written in full but removed meanwhile, alone or with its folder:
    // nothing of the copy is left, and the next output would most likely
    // have no folder either.
    if (!(output->oformat->flags & AVFMT_NOFILE) && velmora::NameIsFree(m_ppszOutputs[index])) {
        Fail(index, AVERROR(ENOENT));
        return InputEnd::kFailedJob;
    }
    // The demuxer ends an input that was cut short as it ends a whole one.
    if (const int whole = velmora::CheckInputWhole(session); whole < 0) {
        Fail(index, whole);
        return InputEnd::kFailedInput;
    }
    if (copy.videoPacketsWritten == 0) {
        // An output without a single picture is no copy of a video.
        Fail(index, copy.lastRejection < 0 ? copy.lastRejection : AVERROR(ENODATA));
        return InputEnd::kFailedInput;
    }
    m_status[index].store(kStatusSucceeded, std::memory_order_relaxed);
    return InputEnd::kDone;
}

void CAVConverter::WorkerProc() {
    const int count = std::clamp(m_nInputCount, 0, m_nAllocated);
    for (int i = 0; i < count; ++i) ResetInputResult(i);

    int result = 0;
    int current = 0;
    for (; current < count; ++current) {
        m_nCurrent.store(current, std::memory_order_relaxed);
        m_nProgress.store(0, std::memory_order_relaxed);
        m_dVideoPos = 0.0;
        if (m_bStop.load(std::memory_order_relaxed)) break;
        if (RunInput(current) == InputEnd::kFailedJob) {
            result = -1;
            break;
        }
    }
    if (current == count) m_nCurrent.store(count, std::memory_order_relaxed);

    m_nWorkerResult.store(result, std::memory_order_relaxed);
    m_bRunning.store(false, std::memory_order_release);
}
