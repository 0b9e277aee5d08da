// velmora-cli: removes the sound from video files from the command line,
// with the same engine and job planning as the desktop program.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/convert_job.h"
#include "cli/file_list.h"
#include "cli/file_result.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/probe_lines.h"
#include "cli/shown_name.h"
#include "cli/stop_signal.h"
#include "engine/av_converter.h"
#include "engine/heap_margin.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
}

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int ExitForSignal(int signal) { return 128 + signal; }

int RunProbe(const CliOptions& options) {
    int exitCode = kExitOk;
    for (const auto& file : options.files) {
        if (int signal = StopSignal()) return ExitForSignal(signal);
        const velmora::ProbeFacts facts = ProbeFile(*g_pEngine, file);
        if (facts.error < 0) {
            const std::string why = ProbeRefusalText(file, facts);
            Complain(ShownName(file) + ": refused: " + why);
            if (options.json)
                std::printf("{\"schema\":%d,\"path\":%s,\"error\":%s}\n", kJsonSchema,
                            JsonString(file).c_str(), JsonString(why).c_str());
            exitCode = kExitFailed;
            continue;
        }
        const ProbeCells cells = CellsOfProbe(file, facts);
        const std::string line =
            options.json ? JsonLine(cells, NumbersOfProbe(facts)) : TabLine(cells);
        std::printf("%s\n", line.c_str());
    }
    return exitCode;
}

// The names of the --files-from lists go after those of the command line.
bool ReadFileLists(CliOptions& options) {
    for (const auto& source : options.fileLists) {
        FileList list = ReadFileList(source, options.nulSeparated);
        if (!list.error.empty()) {
            Complain(list.error);
            return false;
        }
        options.files.insert(options.files.end(), list.names.begin(), list.names.end());
    }
    return true;
}

void PrintVersion() {
    const auto text = [](unsigned version) {
        return std::to_string(AV_VERSION_MAJOR(version)) + "." +
               std::to_string(AV_VERSION_MINOR(version)) + "." +
               std::to_string(AV_VERSION_MICRO(version));
    };
    std::printf("velmora-cli %s\n", VELMORA_VERSION);
    std::printf("built with  libavformat %s, libavcodec %s, libavutil %s\n",
                AV_STRINGIFY(LIBAVFORMAT_VERSION), AV_STRINGIFY(LIBAVCODEC_VERSION),
                AV_STRINGIFY(LIBAVUTIL_VERSION));
    std::printf("running on  libavformat %s, libavcodec %s, libavutil %s\n",
                text(avformat_version()).c_str(), text(avcodec_version()).c_str(),
                text(avutil_version()).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = ParseOptions(argc, argv);
    if (!parsed.error.empty()) {
        Complain(parsed.error);
        std::fprintf(stderr, "Try 'velmora-cli --help'.\n");
        return kExitUsage;
    }
    CliOptions options = parsed.options;
    switch (options.mode) {
        case CliOptions::Mode::kHelp:
            std::fputs(UsageText().c_str(), stdout);
            return kExitOk;
        case CliOptions::Mode::kVersion:
            PrintVersion();
            return kExitOk;
        default:
            break;
    }

    if (!ReadFileLists(options)) return kExitUsage;
    if (options.files.empty()) return kExitOk;  // an empty list: nothing to do

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
