#include "cli/job_runner.h"

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "cli/stop_signal.h"
#include "engine/av_converter.h"
#include "engine/input_result.h"
#include "engine/utf8_path.h"

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
    engine.StartJob({JobItem{FfmpegName(file.input), FfmpegName(file.output), file.endSeconds}});
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

    // The engine takes the next free name when the planned one was taken by
    // the time the output was finished.
    const InputResult result = ReadInputResult(engine, 0);
    if (result.output != FfmpegName(file.output)) file.output = result.output;
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
        // The stop may have come before the first picture: only a file whose
        // output was begun is a shortened one.
        std::error_code ec;
        const bool begun = std::filesystem::exists(PathFromUtf8(file.output), ec);
        file.outcome = begun ? JobFile::Outcome::kStopped : JobFile::Outcome::kSkipped;
    } else {
        // The worker ended without touching the file and without a stop
        // request: it cannot be run.
        file.outcome = JobFile::Outcome::kFailed;
    }
}
