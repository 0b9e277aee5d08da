// The worker thread: walks through the inputs of the job one after the
// other, copies each into its output and records each input's result. A
// failed input never ends the job: the next input is still copied.

#include <algorithm>
#include <cmath>
#include <system_error>

#include "engine/av_converter.h"
#include "engine/engine_errors.h"
#include "engine/input_complete.h"
#include "engine/input_setup.h"
#include "engine/packet_loop.h"
#include "engine/probed_input.h"

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

// Writes what the output's I/O context still buffers and closes it. Returns
// the first write error, so a full disk at the very end is not taken for
// success.
int CloseOutputFile(InputSession& session) {
    AVFormatContext* output = session.output.get();
    if (!output->pb) return 0;
    output->pb = nullptr;
    return session.file.CloseIo();
}

}  // namespace

void CAVConverter::Fail(int index, int error, std::int64_t at) {
    m_nError[index].store(error, std::memory_order_relaxed);
    m_llErrorTime[index].store(at, std::memory_order_relaxed);
    m_status[index].store(kStatusFailed, std::memory_order_release);
}

// Set-up, copy, trailer and result of input `index`. Whatever happens, every
// FFmpeg object of the input is released, and the output file removed unless
// it was given its final name, when `session` goes.
void CAVConverter::RunInput(int index) {
    // The probe's input serves the job's first input only: kept any longer,
    // it would hold its memory through the whole job.
    std::unique_ptr<InputSession> taken = m_probed->Take(m_ppszInputs[index]);
    if (!taken) taken = std::make_unique<InputSession>();
    const velmora::CopyControl control{m_bStop, m_dEnd[index], m_nProgress, m_dVideoPos};
    const AVIOInterruptCB interrupt{&StopRequested, this};
    SetupResult setup = velmora::SetUpInput(*taken, m_ppszInputs[index].c_str(),
                                            m_ppszOutputs[index].c_str(), interrupt);
    CopyResult copy;
    if (setup.outcome == SetupOutcome::kReady) copy = velmora::CopyVideoPackets(*taken, control);
    if (copy.needsParser) {
        // Read without the parser, the input's packets were not whole
        // frames: the copy so far goes, and a new one is made through it.
        av_log(nullptr, AV_LOG_INFO,
               "%s: %s after %lld packets; copying again through the parser\n",
               m_ppszInputs[index].c_str(), taken->unparsed->Why(),
               static_cast<long long>(taken->unparsed->Admitted()));
        taken = std::make_unique<InputSession>();
        taken->keepParser = true;
        setup = velmora::SetUpInput(*taken, m_ppszInputs[index].c_str(),
                                    m_ppszOutputs[index].c_str(), interrupt);
        if (setup.outcome == SetupOutcome::kReady)
            copy = velmora::CopyVideoPackets(*taken, control);
    }
    m_containers[index] = taken->container;
    if (setup.outcome == SetupOutcome::kStopped) return;
    if (setup.outcome == SetupOutcome::kFailed) return Fail(index, setup.error);
    InputSession& session = *taken;
    if (session.unparsed)
        av_log(nullptr, AV_LOG_INFO, "%s: %lld video packets read without the parser\n",
               m_ppszInputs[index].c_str(), static_cast<long long>(session.unparsed->Admitted()));

    m_llVideoPackets[index].store(copy.videoPacketsRead, std::memory_order_relaxed);
    m_llLeftOut[index].store(copy.leftOut, std::memory_order_relaxed);
    // Part of the input could not be read: the copy is not the video. A file
    // cut or grown meanwhile says best what went wrong.
    if (copy.readError < 0) {
        if (const int whole = velmora::CheckInputWhole(session); whole < 0)
            return Fail(index, whole);
        return Fail(index, copy.readError, copy.readErrorAt);
    }
    if (copy.refusal < 0) return Fail(index, copy.refusal);

    AVFormatContext* output = session.output.get();
    // Written after a stop too: the output then ends where copying stopped.
    const int trailer = av_write_trailer(output);
    const int closed = CloseOutputFile(session);
    const int writeError = copy.writeError < 0 ? copy.writeError : trailer < 0 ? trailer : closed;
    if (writeError < 0) return Fail(index, writeError);
    // Written in full but removed meanwhile, alone or with its folder.
    if (session.file.Removed()) return Fail(index, velmora::kErrorOutputRemoved);

    if (copy.stopped) {
        // Stopped before its first picture, the file would be an empty
        // container: nothing to keep. Otherwise the shortened copy is a
        // valid file and keeps what was copied.
        // The input's status stays pending: it was not copied to its end.
        if (copy.videoPacketsWritten > 0) session.file.Publish(m_ppszOutputs[index]);
        return;
    }
    // The demuxer ends an input that was cut short as it ends a whole one.
    // Cut or grown while it was read, the file was in no one state the copy
    // could stand for.
    if (const int whole = velmora::CheckInputWhole(session); whole < 0) return Fail(index, whole);
    // Cut short before the job (a download that stopped half-way), what the
    // file holds is still the user's video: it is kept, with a word on what
    // is missing and where the copy ends.
    const velmora::CutShort cut =
        velmora::FindCutShort(session, copy.videoPacketsRead, copy.cutByTheEnd);
    if (cut.cut) {
        if (copy.videoPacketsWritten == 0) return Fail(index, velmora::kErrorInputTruncated);
        m_llVideoPackets[index].store(copy.videoPacketsRead + cut.missing,
                                      std::memory_order_relaxed);
        m_llLeftOut[index].store(copy.leftOut + cut.missing, std::memory_order_relaxed);
        m_llFileEnd[index].store(std::llround(m_dVideoPos * AV_TIME_BASE),
                                 std::memory_order_relaxed);
    }
    if (copy.videoPacketsWritten == 0)
        return Fail(index,
                    copy.lastRejection < 0 ? copy.lastRejection : velmora::kErrorNoVideoCopied);
    if (const int rc = session.file.Publish(m_ppszOutputs[index]); rc < 0) return Fail(index, rc);
    m_status[index].store(kStatusSucceeded, std::memory_order_release);
}

void CAVConverter::WorkerProc() {
    const int count = std::clamp(m_nInputCount, 0, m_nAllocated);
    for (int i = 0; i < count; ++i) ResetInputResult(i);

    int current = 0;
    for (; current < count; ++current) {
        m_nCurrent.store(current, std::memory_order_relaxed);
        m_nProgress.store(0, std::memory_order_relaxed);
        m_dVideoPos = 0.0;
        if (m_bStop.load(std::memory_order_relaxed)) break;
        RunInput(current);
    }
    if (current == count) m_nCurrent.store(count, std::memory_order_relaxed);

    int result = 0;
    for (int i = 0; i < count; ++i)
        if (m_status[i].load(std::memory_order_relaxed) == kStatusFailed) result = -1;
    m_nWorkerResult.store(result, std::memory_order_relaxed);
    m_bRunning.store(false, std::memory_order_release);
}
