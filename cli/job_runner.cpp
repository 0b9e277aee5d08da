#include "cli/job_runner.h"

#include <chrono>
#include <thread>
#include <vector>

#include "cli/stop_signal.h"
#include "engine/av_converter.h"
#include "engine/input_result.h"

namespace {

// The end of the worker and a stop request are noticed within this time.
constexpr auto kWaitInterval = std::chrono::milliseconds(10);

}  // namespace

std::string FfmpegName(const std::string& name) {
#ifdef _WIN32
    return name;
#else
    return name.find('/') == std::string::npos ? "./" + name : name;
#endif
}

void RunFile(CAVConverter& engine, JobFile& file, StopWatch watch) {
    if (StopSignal() != 0) {
        file.outcome = JobFile::Outcome::kSkipped;
        return;
    }
    JobItem item{FfmpegName(file.input), FfmpegName(file.output), file.endSeconds};
    if (!file.name.first.empty()) item.name = {FfmpegName(file.name.first), file.name.number};
    item.outputRoot = file.outputRoot;
    if (file.setAsideIfStopped) item.whenStopped = velmora::StoppedCopy::kSetAside;
    engine.StartJob({item});
    // StartJob() lowers the stop request: a stop that came before it is
    // passed on after it. A short file is copied in a few milliseconds, so
    // waiting in steps would cost as much as the copy.
    if (watch == StopWatch::kHere) {
        while (engine.IsRunning()) {
            if (StopSignal() != 0) engine.m_bStop.store(true, std::memory_order_relaxed);
            std::this_thread::sleep_for(kWaitInterval);
        }
    }
    engine.Join();

    // The engine says what it left on disk and under which name: the next
    // free one when the planned one was taken by the time the output was
    // finished, or the name a stopped copy was set aside under.
    const InputResult result = ReadInputResult(engine, 0);
    if (result.output != FfmpegName(file.output)) file.output = result.output;
    file.written = result.outcome;
    file.strandedPart = result.strandedPart;
    file.videoPackets = result.videoPackets;
    file.leftOut = result.leftOut;
    file.container = result.container;
    file.fileEnd = result.fileEnd;
    switch (result.status) {
        case kStatusSucceeded:
            file.outcome = JobFile::Outcome::kDone;
            return;
        case kStatusFailed:
            file.outcome = JobFile::Outcome::kFailed;
            file.error = result.error;
            file.errorTime = result.errorTime;
            return;
        default:
            break;
    }
    if (engine.m_bStop.load(std::memory_order_relaxed)) {
        // The stop may have come before the first picture: only a file the
        // engine left a shortened copy of is a stopped one.
        const bool kept = result.outcome == velmora::OutputOutcome::kKeptShortened ||
                          result.outcome == velmora::OutputOutcome::kSetAside;
        file.outcome = kept ? JobFile::Outcome::kStopped : JobFile::Outcome::kSkipped;
    } else {
        // The worker ended without touching the file and without a stop
        // request: it cannot be run.
        file.outcome = JobFile::Outcome::kFailed;
    }
}
