// velmora-cli: removes the sound from video files from the command line,
// with the same engine and job planning as the desktop program.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/av_converter.h"
#include "engine/heap_margin.h"
#include "job_runner.h"
#include "messages.h"
#include "options.h"
#include "output_folder.h"
#include "output_names.h"
#include "probe_cells.h"
#include "progress.h"
#include "shown_name.h"
#include "stop_signal.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int ExitForSignal(int signal) { return 128 + signal; }

void Complain(const std::string& text) { std::fprintf(stderr, "velmora-cli: %s\n", text.c_str()); }

// Probes one file. The probe fields are cleared first, so a field the probe
// does not reach for this file shows 0 rather than the previous file's value.
int ProbeFile(CAVConverter& engine, const std::string& file) {
    engine.m_llDuration = AV_NOPTS_VALUE;
    engine.m_nVideoProfile = 0;
    engine.m_nVideoBitRate = 0;
    engine.m_nInWidth = 0;
    engine.m_nInHeight = 0;
    engine.m_nFpsNum = 0;
    engine.m_nFpsDen = 0;
    engine.m_pszProbeFile = EngineName(file);
    return engine.Probe();
}

int RunProbe(const CliOptions& options) {
    int exitCode = kExitOk;
    for (const auto& file : options.files) {
        if (int signal = StopSignal()) return ExitForSignal(signal);
        const int result = ProbeFile(*g_pEngine, file);
        if (result < 0) {
            const std::string why = ProbeRefusalText(file, result, g_pEngine->m_nVideoCodec);
            Complain(ShownName(file) + ": refused: " + why);
            if (options.json)
                std::printf("{\"path\":%s,\"error\":%s}\n", JsonString(file).c_str(),
                            JsonString(why).c_str());
            exitCode = kExitFailed;
            continue;
        }
        const ProbeCells cells = CellsOfProbe(file, *g_pEngine);
        std::printf("%s\n", (options.json ? JsonLine(cells) : TabLine(cells)).c_str());
    }
    return exitCode;
}

struct FileReport {
    std::string input;
    std::string refusal;  // why the probe refused it, or empty
    int job = -1;         // index into the job's files
};

void PrintReport(const FileReport& report, const std::vector<JobFile>& job) {
    if (!report.refusal.empty()) {
        std::printf("refused  %s: %s\n", ShownName(report.input).c_str(), report.refusal.c_str());
        return;
    }
    const JobFile& f = job[report.job];
    switch (f.outcome) {
        case JobFile::Outcome::kDone:
            if (f.leftOut > 0)
                std::printf("done     %s -> %s (%lld of %lld video packets left out)\n",
                            ShownName(f.input).c_str(), ShownName(f.output).c_str(), f.leftOut,
                            f.videoPackets);
            else
                std::printf("done     %s -> %s\n", ShownName(f.input).c_str(),
                            ShownName(f.output).c_str());
            break;
        case JobFile::Outcome::kFailed:
            std::printf("failed   %s: %s\n", ShownName(f.input).c_str(),
                        f.output.empty() ? NoExtensionText().c_str()
                                         : FailureText(f.error, f.errorTime, f.output).c_str());
            break;
        case JobFile::Outcome::kStopped:
            std::printf("stopped  %s -> %s (shortened)\n", ShownName(f.input).c_str(),
                        ShownName(f.output).c_str());
            break;
        case JobFile::Outcome::kSkipped:
        case JobFile::Outcome::kPending:
            std::printf("skipped  %s: not started\n", ShownName(f.input).c_str());
            break;
    }
}

int RunConvert(const CliOptions& options) {
    // Probe everything first, so that refusals show before a long job.
    std::vector<FileReport> reports;
    std::vector<JobFile> accepted;
    for (const auto& file : options.files) {
        if (int signal = StopSignal()) return ExitForSignal(signal);
        FileReport report{file, "", -1};
        const int result = ProbeFile(*g_pEngine, file);
        if (result < 0) {
            report.refusal = ProbeRefusalText(file, result, g_pEngine->m_nVideoCodec);
            Complain(ShownName(file) + ": refused: " + report.refusal);
        } else {
            JobFile job;
            job.input = file;
            if (auto ms = DurationMs(g_pEngine->m_llDuration)) job.endSeconds = *ms / 1000.0;
            report.job = static_cast<int>(accepted.size());
            accepted.push_back(job);
        }
        reports.push_back(report);
    }

    std::vector<std::string> inputs;
    for (const auto& f : accepted) inputs.push_back(f.input);
    const std::vector<OutputName> names = PlanOutputNames(options.outputFolder, inputs);
    std::vector<JobFile> runnable;
    std::vector<std::string> runnableInputs;
    for (size_t i = 0; i < accepted.size(); ++i) {
        if (names[i].result == OutputNameResult::kOk) {
            accepted[i].output = names[i].path;
            runnable.push_back(accepted[i]);
            runnableInputs.push_back(accepted[i].input);
        } else {
            accepted[i].outcome = JobFile::Outcome::kFailed;
        }
    }

    if (!runnable.empty()) {
        const FolderCheckResult folder = CheckOutputFolder(options.outputFolder, runnableInputs);
        if (folder.check != FolderCheck::kOk) {
            Complain(FolderCheckText(options.outputFolder, folder));
            for (auto& f : runnable) f.outcome = JobFile::Outcome::kSkipped;
        } else {
            ProgressPrinter progress(ProgressPrinter::StyleFor(options.quiet));
            RunJob(*g_pEngine, runnable, progress);
        }
    }

    // Results back into the order the files were given.
    for (size_t i = 0, r = 0; i < accepted.size(); ++i)
        if (!accepted[i].output.empty()) accepted[i] = runnable[r++];

    bool allDone = true;
    for (const auto& report : reports) {
        PrintReport(report, accepted);
        // A copy that left video packets out is not a whole copy.
        if (!report.refusal.empty() || accepted[report.job].outcome != JobFile::Outcome::kDone ||
            accepted[report.job].leftOut > 0)
            allDone = false;
    }
    std::fflush(stdout);
    if (int signal = StopSignal()) return ExitForSignal(signal);
    return allDone ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = ParseOptions(argc, argv);
    if (!parsed.error.empty()) {
        Complain(parsed.error);
        std::fprintf(stderr, "Try 'velmora-cli --help'.\n");
        return kExitUsage;
    }
    const CliOptions& options = parsed.options;
    switch (options.mode) {
        case CliOptions::Mode::kHelp:
            std::fputs(UsageText().c_str(), stdout);
            return kExitOk;
        case CliOptions::Mode::kVersion:
            std::printf("velmora-cli %s (libavformat %s)\n", VELMORA_VERSION,
                        AV_STRINGIFY(LIBAVFORMAT_VERSION));
            return kExitOk;
        default:
            break;
    }

    KeepHeapMarginBetweenFiles();
    av_log_set_level(options.verbose ? AV_LOG_INFO : AV_LOG_QUIET);
    InstallStopHandlers();
    g_pEngine = std::make_unique<CAVConverter>();
    StopAlsoRaises(&g_pEngine->m_bStopProbe);
    const int exitCode =
        options.mode == CliOptions::Mode::kProbe ? RunProbe(options) : RunConvert(options);
    StopAlsoRaises(nullptr);
    g_pEngine.reset();
    return exitCode;
}
