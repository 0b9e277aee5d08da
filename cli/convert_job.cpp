#include "cli/convert_job.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "cli/file_result.h"
#include "cli/job_runner.h"
#include "cli/messages.h"
#include "cli/output_tree.h"
#include "cli/probe_lines.h"
#include "cli/progress.h"
#include "cli/shown_name.h"
#include "cli/stop_signal.h"
#include "engine/av_converter.h"
#include "engine/output_name.h"
#include "engine/utf8_path.h"
#include "jobs/output_folder.h"
#include "jobs/output_names.h"

namespace {

// One file of the run, from the command line to its report.
struct Entry {
    FileResult result;
    bool decided = false;  // the result is final before the job runs
    std::string below;     // its folder below the output folder (--keep-tree)
    std::string folder;    // the folder its output goes to
    int job = -1;          // index into the job's files
};

void Decide(Entry& e, FileResult::Status status, const std::string& reason) {
    e.result.status = status;
    e.result.reason = reason;
    e.decided = true;
}

void Refuse(Entry& e, const std::string& reason) {
    Complain(ShownName(e.result.input) + ": refused: " + reason);
    Decide(e, FileResult::Status::kRefused, reason);
}

// Where the output goes, and with --if-exists skip whether it is there
// already. Runs before the probe, so that a re-run of a long batch passes
// over the finished files without reading them.
void PlaceOutput(const CliOptions& options, std::set<std::string>& claimed, Entry& e) {
    const std::string& input = e.result.input;
    if (!options.keepTree.empty()) {
        const std::optional<std::string> below = FolderBelowRoot(options.keepTree, input);
        if (!below) {
            Refuse(e, "not inside the --keep-tree folder " + ShownName(options.keepTree));
            return;
        }
        e.below = *below;
    }
    e.folder = JoinFolder(options.outputFolder, e.below);
    if (options.ifExists != CliOptions::IfExists::kSkip) return;
    const std::string fileName = velmora::FileNameOf(input);
    if (fileName.find('.') == std::string::npos) return;  // the probe words this
    const std::string name = JoinFolder(e.folder, fileName);
    if (velmora::StateOfName(name) == velmora::NameState::kTaken) {
        e.result.output = name;
        e.result.outputExists = true;
        e.result.bytes = SizeOf(name);
        Decide(e, FileResult::Status::kSkipped, "the output exists");
    } else if (!claimed.insert(name).second) {
        // A numbered name would not be found by a re-run, which would then
        // pass over this input for good.
        Refuse(e, "another input of this run has the output name " + ShownName(name) +
                      " (--keep-tree keeps them apart)");
    }
}

void TakeProbe(const CAVConverter& engine, FileResult& r) {
    const ProbeNumbers numbers = NumbersOfProbe(engine);
    r.duration = numbers.duration;
    r.bitRate = numbers.bitRate;
    r.frameRate = numbers.frameRate;
}

// Gives every accepted entry its output name: per output folder, so that the
// "(n)" numbering sees the other outputs of the same folder.
void PlanNames(std::vector<Entry>& entries) {
    std::map<std::string, std::vector<Entry*>> byFolder;
    for (auto& e : entries)
        if (!e.decided) byFolder[e.folder].push_back(&e);
    for (auto& [folder, group] : byFolder) {
        std::vector<std::string> inputs;
        for (const Entry* e : group) inputs.push_back(e->result.input);
        const std::vector<OutputName> names = PlanOutputNames(folder, inputs);
        for (size_t i = 0; i < group.size(); ++i) {
            if (names[i].result == OutputNameResult::kOk)
                group[i]->result.output = names[i].path;
            else
                Decide(*group[i], FileResult::Status::kFailed, NoExtensionText());
        }
    }
}

// The run's outcome for a file the job ran (or did not reach).
void TakeOutcome(const JobFile& f, bool skipMode, FileResult& r) {
    r.packets = f.videoPackets - f.leftOut;
    r.leftOut = f.leftOut;
    r.output = f.output;
    switch (f.outcome) {
        case JobFile::Outcome::kDone:
            r.status = FileResult::Status::kDone;
            if (f.leftOut > 0)
                r.reason = std::to_string(f.leftOut) + " of " + std::to_string(f.videoPackets) +
                           " video packets left out";
            break;
        case JobFile::Outcome::kFailed:
            r.status = FileResult::Status::kFailed;
            r.reason =
                f.output.empty() ? NoExtensionText() : FailureText(f.error, f.errorTime, f.output);
            r.output.clear();  // a failed file leaves no output behind
            break;
        case JobFile::Outcome::kStopped:
            r.status = FileResult::Status::kStopped;
            r.reason = "shortened";
            // A final name means a whole copy to --if-exists skip: the
            // shortened one must not pass for it, or a re-run would leave the
            // file half done for good.
            if (skipMode) {
                const std::string aside = SetAside(f.output);
                if (!aside.empty()) {
                    r.output = aside;
                    r.setAside = true;
                    r.reason = "shortened; set aside so that a re-run copies it again";
                } else {
                    r.reason = "shortened; it could not be set aside, remove it before a re-run";
                }
            }
            break;
        case JobFile::Outcome::kSkipped:
        case JobFile::Outcome::kPending:
            r.status = FileResult::Status::kSkipped;
            r.reason = "not started";
            r.output.clear();
            break;
    }
    if (!r.output.empty()) r.bytes = SizeOf(r.output);
}

bool IsWhole(const FileResult& r) {
    switch (r.status) {
        case FileResult::Status::kDone:
            // A copy that left video packets out is not a whole copy.
            return r.leftOut == 0;
        case FileResult::Status::kSkipped:
            return r.outputExists;
        case FileResult::Status::kPlanned:
            return true;
        default:
            return false;
    }
}

// Runs the entries that have an output name as one job.
void RunEntries(const CliOptions& options, std::vector<Entry>& entries) {
    std::vector<Entry*> runnable;
    std::vector<std::string> runnableInputs;
    for (auto& e : entries)
        if (!e.decided) {
            runnable.push_back(&e);
            runnableInputs.push_back(e.result.input);
        }
    if (runnable.empty()) return;

    const FolderCheckResult folder = CheckOutputFolder(options.outputFolder, runnableInputs);
    if (folder.check != FolderCheck::kOk) {
        Complain(FolderCheckText(options.outputFolder, folder));
        for (Entry* e : runnable) Decide(*e, FileResult::Status::kSkipped, "not started");
        return;
    }

    std::vector<JobFile> job;
    std::map<std::string, std::string> madeFolders;  // below -> why it could not be made
    for (Entry* e : runnable) {
        if (!e->below.empty()) {
            auto made = madeFolders.find(e->below);
            if (made == madeFolders.end())
                made =
                    madeFolders.emplace(e->below, MakeFoldersBelow(options.outputFolder, e->below))
                        .first;
            if (!made->second.empty()) {
                e->result.output.clear();
                Decide(*e, FileResult::Status::kFailed, made->second);
                continue;
            }
        }
        JobFile f;
        f.input = e->result.input;
        f.output = e->result.output;
        if (e->result.duration) f.endSeconds = *e->result.duration;
        e->job = static_cast<int>(job.size());
        job.push_back(f);
    }
    if (job.empty()) return;
    ProgressPrinter progress(ProgressPrinter::StyleFor(options.quiet));
    RunJob(*g_pEngine, job, progress);
    const bool skipMode = options.ifExists == CliOptions::IfExists::kSkip;
    for (Entry* e : runnable)
        if (e->job >= 0) TakeOutcome(job[e->job], skipMode, e->result);
}

}  // namespace

void Complain(const std::string& text) { std::fprintf(stderr, "velmora-cli: %s\n", text.c_str()); }

int ProbeFile(CAVConverter& engine, const std::string& file) {
    // Probe() clears its result fields first, so a field it does not reach
    // for this file never shows the previous file's value.
    engine.m_pszProbeFile = FfmpegName(file);
    return engine.Probe();
}

int RunConvert(const CliOptions& options) {
    std::vector<Entry> entries;
    entries.reserve(options.files.size());
    std::set<std::string> claimed;
    // The job follows the probes at once: when its first file is the one
    // probed last (a run of one file), that file is opened and analysed
    // once, not twice.
    g_pEngine->m_bKeepProbedInput = !options.dryRun;
    // Probe everything first, so that refusals show before a long job.
    for (const auto& file : options.files) {
        if (int signal = StopSignal()) return 128 + signal;
        Entry& e = entries.emplace_back();
        e.result.input = file;
        PlaceOutput(options, claimed, e);
        if (e.decided) continue;
        const int result = ProbeFile(*g_pEngine, file);
        if (result < 0)
            Refuse(e, ProbeRefusalText(file, result, g_pEngine->m_nVideoCodec));
        else
            TakeProbe(*g_pEngine, e.result);
    }
    PlanNames(entries);

    if (options.dryRun) {
        // Only what can be seen without writing: the real run also tries a
        // file in the folder and counts the free space.
        std::error_code ec;
        FolderCheckResult folder;
        const auto type = std::filesystem::status(PathFromUtf8(options.outputFolder), ec).type();
        if (type == std::filesystem::file_type::not_found)
            folder.check = FolderCheck::kMissing;
        else if (type != std::filesystem::file_type::directory)
            folder.check = FolderCheck::kNotAFolder;
        if (folder.check != FolderCheck::kOk)
            Complain(FolderCheckText(options.outputFolder, folder));
        for (auto& e : entries) {
            if (e.decided) continue;
            if (folder.check != FolderCheck::kOk) {
                e.result.output.clear();
                Decide(e, FileResult::Status::kSkipped, "not started");
            } else if (const std::string why =
                           MakeFoldersBelow(options.outputFolder, e.below, false);
                       !why.empty()) {
                e.result.output.clear();
                Decide(e, FileResult::Status::kFailed, why);
            } else {
                e.result.status = FileResult::Status::kPlanned;
            }
        }
    } else {
        RunEntries(options, entries);
    }

    bool allWhole = true;
    for (const auto& e : entries) {
        const std::string line = options.json ? JsonLine(e.result) : TextLine(e.result);
        std::printf("%s\n", line.c_str());
        if (!IsWhole(e.result)) allWhole = false;
    }
    std::fflush(stdout);
    if (int signal = StopSignal()) return 128 + signal;
    return allWhole ? 0 : 1;
}
