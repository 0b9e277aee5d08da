#include "cli/job_runner.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "cli/stop_signal.h"
#include "engine/av_converter.h"
#include "engine/input_result.h"
#include "engine/utf8_path.h"

namespace {

// Progress is shown every kProgressInterval; the end of the worker is
// noticed within kEndInterval, so a short job does not wait out a whole
// progress interval after its last file.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr auto kEndInterval = std::chrono::milliseconds(10);

int CountFinished(const std::vector<JobFile>& files) {
    int finished = 0;
    for (const auto& f : files)
        if (f.outcome == JobFile::Outcome::kDone || f.outcome == JobFile::Outcome::kFailed)
            ++finished;
    return finished;
}

// Starts one engine job over files[first..] and follows it until the worker
// has ended. Returns the index of the first file that the job left without
// an outcome, or files.size().
size_t RunOnce(CAVConverter& engine, std::vector<JobFile>& files, size_t first,
               ProgressPrinter& progress) {
    const int count = static_cast<int>(files.size() - first);
    const int total = static_cast<int>(files.size());
    std::vector<JobItem> items(count);
    for (int i = 0; i < count; ++i) {
        const JobFile& file = files[first + i];
        items[i] = {FfmpegName(file.input), FfmpegName(file.output), file.endSeconds};
    }
    engine.StartJob(items);

    const int finishedBefore = CountFinished(files);
    for (;;) {
        if (StopSignal() != 0) engine.m_bStop.store(true, std::memory_order_relaxed);
        const bool running = engine.IsRunning();
        const int current = engine.m_nCurrent.load(std::memory_order_relaxed);
        if (current >= 0 && current < count) {
            int finished = finishedBefore;
            for (int i = 0; i < current; ++i) {
                const int status = engine.m_status[i].load(std::memory_order_relaxed);
                if (status == kStatusSucceeded || status == kStatusFailed) ++finished;
            }
            progress.Show(static_cast<int>(first) + current + 1, files[first + current].input,
                          engine.m_nProgress.load(std::memory_order_relaxed), finished, total);
        }
        if (!running) break;
        const auto next = std::chrono::steady_clock::now() + kProgressInterval;
        while (engine.IsRunning() && StopSignal() == 0 && std::chrono::steady_clock::now() < next)
            std::this_thread::sleep_for(kEndInterval);
    }
    engine.Join();

    const bool stopped = engine.m_bStop.load(std::memory_order_relaxed);
    size_t next = files.size();
    for (int i = 0; i < count; ++i) {
        JobFile& file = files[first + i];
        // The engine takes the next free name when the planned one was
        // taken by the time the output was finished.
        const InputResult result = ReadInputResult(engine, i);
        if (result.output != FfmpegName(file.output)) file.output = result.output;
        file.videoPackets = result.videoPackets;
        file.leftOut = result.leftOut;
        switch (result.status) {
            case kStatusSucceeded:
                file.outcome = JobFile::Outcome::kDone;
                break;
            case kStatusFailed:
                file.outcome = JobFile::Outcome::kFailed;
                file.error = result.error;
                file.errorTime = result.errorTime;
                break;
            default:
                if (next == files.size()) next = first + i;
                break;
        }
    }
    if (stopped && next < files.size()) {
        // The stop may have come between two files: only a file whose output
        // was begun is a shortened one.
        std::error_code ec;
        const bool begun = std::filesystem::exists(PathFromUtf8(files[next].output), ec);
        files[next].outcome = begun ? JobFile::Outcome::kStopped : JobFile::Outcome::kSkipped;
        for (size_t i = next + 1; i < files.size(); ++i)
            files[i].outcome = JobFile::Outcome::kSkipped;
        return files.size();
    }
    return next;
}

}  // namespace

std::string FfmpegName(const std::string& name) {
#ifdef _WIN32
    return name;
#else
    return name.find('/') == std::string::npos ? "./" + name : name;
#endif
}

void RunJob(CAVConverter& engine, std::vector<JobFile>& files, ProgressPrinter& progress) {
    size_t next = 0;
    while (next < files.size()) {
        if (StopSignal() != 0) {
            for (size_t i = next; i < files.size(); ++i)
                files[i].outcome = JobFile::Outcome::kSkipped;
            break;
        }
        // A failed job ends the engine's worker early; the files after the
        // failed one start again as a new job, as a batch tool should.
        const size_t left = RunOnce(engine, files, next, progress);
        if (left == next) {
            // The worker ended without touching this file and without a stop
            // request: it cannot be run, so it fails rather than loop.
            files[next].outcome = JobFile::Outcome::kFailed;
            ++next;
        } else {
            next = left;
        }
    }
    progress.Clear();
}
