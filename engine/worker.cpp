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
using velmora::OutputOutcome;
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

// How CopyInput() ended: the status the input's record is published with.
struct CAVConverter::InputEnd {
    int status = kStatusPending;  // pending: stopped, or not begun
    int error = 0;
    std::int64_t at = INT64_MIN;
};

void CAVConverter::Fail(int index, int error, std::int64_t at) {
    m_results[index].error = error;
    m_results[index].errorTime = at;
    m_status[index].store(kStatusFailed, std::memory_order_release);
}

bool CAVConverter::PlannedForAnother(int index, const std::string& name) const {
    const auto planned = m_plannedNames.find(velmora::NameKey(name));
    if (planned == m_plannedNames.end()) return false;
    // Its own planned name counts once for itself.
    const bool own = velmora::NameKey(m_ppszOutputs[index]) == planned->first;
    return planned->second > (own ? 1 : 0);
}

int CAVConverter::NameOutput(int index, InputSession& session, bool stopped) {
    InputResult& record = m_results[index];
    const velmora::OutputPlan& plan = m_outputPlans[index];
    if (stopped && plan.whenStopped == velmora::StoppedCopy::kSetAside) {
        const int rc = session.file.SetAside(m_ppszOutputs[index], record.output);
        if (rc >= 0) record.outcome = OutputOutcome::kSetAside;
        return rc;
    }
    velmora::NamePlace place = plan.name;
    if (place.first.empty()) place = {m_ppszOutputs[index], -1};
    const int rc = session.file.Publish(
        place, [&](const std::string& name) { return PlannedForAnother(index, name); },
        record.output);
    if (rc >= 0)
        record.outcome = stopped ? OutputOutcome::kKeptShortened : OutputOutcome::kPublished;
    return rc;
}

// Set-up, copy, trailer and naming of input `index`. Fills its record but
// for the status, which RunInput() publishes it with.
CAVConverter::InputEnd CAVConverter::CopyInput(int index, std::unique_ptr<InputSession>& taken) {
    InputResult& record = m_results[index];
    const velmora::CopyControl control{m_bStop, m_dEnd[index], m_nProgress, m_dVideoPos};
    const AVIOInterruptCB interrupt{&StopRequested, this};
    const velmora::OutputPlan& plan = m_outputPlans[index];
    SetupResult setup = velmora::SetUpInput(*taken, m_ppszInputs[index].c_str(),
                                            m_ppszOutputs[index].c_str(), plan.root, interrupt);
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
                                    m_ppszOutputs[index].c_str(), plan.root, interrupt);
        if (setup.outcome == SetupOutcome::kReady)
            copy = velmora::CopyVideoPackets(*taken, control);
    }
    record.container = taken->container;
    if (setup.outcome == SetupOutcome::kStopped) return {};
    if (setup.outcome == SetupOutcome::kFailed) return {kStatusFailed, setup.error};
    InputSession& session = *taken;
    if (session.unparsed)
        av_log(nullptr, AV_LOG_INFO, "%s: %lld video packets read without the parser\n",
               m_ppszInputs[index].c_str(), static_cast<long long>(session.unparsed->Admitted()));

    record.videoPackets = copy.videoPacketsRead;
    record.leftOut = copy.leftOut;
    // Part of the input could not be read: the copy is not the video. A file
    // cut or grown meanwhile says best what went wrong.
    if (copy.readError < 0) {
        if (const int whole = velmora::CheckInputWhole(session); whole < 0)
            return {kStatusFailed, whole};
        return {kStatusFailed, copy.readError, copy.readErrorAt};
    }
    if (copy.refusal < 0) return {kStatusFailed, copy.refusal};

    AVFormatContext* output = session.output.get();
    // Written after a stop too: the output then ends where copying stopped.
    const int trailer = av_write_trailer(output);
    const int closed = CloseOutputFile(session);
    const int writeError = copy.writeError < 0 ? copy.writeError : trailer < 0 ? trailer : closed;
    if (writeError < 0) return {kStatusFailed, writeError};
    // Written in full but removed meanwhile, alone or with its folder.
    if (session.file.Removed()) return {kStatusFailed, velmora::kErrorOutputRemoved};

    if (copy.stopped) {
        // Stopped before its first picture, the file would be an empty
        // container: nothing to keep. Otherwise the shortened copy is a
        // valid file and keeps what was copied. Either way the input's
        // status stays pending: it was not copied to its end.
        if (copy.videoPacketsWritten > 0) NameOutput(index, session, true);
        return {};
    }
    // The demuxer ends an input that was cut short as it ends a whole one.
    // Cut or grown while it was read, the file was in no one state the copy
    // could stand for.
    if (const int whole = velmora::CheckInputWhole(session); whole < 0)
        return {kStatusFailed, whole};
    // Cut short before the job (a download that stopped half-way), what the
    // file holds is still the user's video: it is kept, with a word on what
    // is missing and where the copy ends.
    const velmora::CutShort cut =
        velmora::FindCutShort(session, copy.videoPacketsRead, copy.cutByTheEnd);
    if (cut.cut) {
        if (copy.videoPacketsWritten == 0) return {kStatusFailed, velmora::kErrorInputTruncated};
        record.videoPackets = copy.videoPacketsRead + cut.missing;
        record.leftOut = copy.leftOut + cut.missing;
        record.fileEnd = std::llround(m_dVideoPos * AV_TIME_BASE);
    }
    if (copy.videoPacketsWritten == 0)
        return {kStatusFailed,
                copy.lastRejection < 0 ? copy.lastRejection : velmora::kErrorNoVideoCopied};
    if (const int rc = NameOutput(index, session, false); rc < 0) return {kStatusFailed, rc};
    return {kStatusSucceeded};
}

// Whatever happens, every FFmpeg object of the input is released, and its
// temporary file removed, before its record is published.
void CAVConverter::RunInput(int index) {
    InputResult& record = m_results[index];
    // The probe's input serves the job's first input only: kept any longer,
    // it would hold its memory through the whole job.
    std::unique_ptr<InputSession> taken = m_probed->Take(m_ppszInputs[index]);
    if (!taken) taken = std::make_unique<InputSession>();
    const InputEnd end = CopyInput(index, taken);
    taken->file.Discard();
    record.strandedPart = taken->file.Stranded();
    taken.reset();
    if (end.status == kStatusFailed) return Fail(index, end.error, end.at);
    if (end.status == kStatusSucceeded)
        m_status[index].store(kStatusSucceeded, std::memory_order_release);
}

void CAVConverter::WorkerProc() {
    const int count = std::clamp(m_nInputCount, 0, m_nAllocated);
    m_plannedNames.clear();
    for (int i = 0; i < count; ++i) {
        ResetInputResult(i);
        ++m_plannedNames[velmora::NameKey(m_ppszOutputs[i])];
    }

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
