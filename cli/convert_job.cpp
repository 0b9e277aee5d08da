#include "cli/convert_job.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
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
#include "frontend_core/container_text.h"
#include "frontend_core/failure_text.h"
#include "frontend_core/output_folder.h"
#include "frontend_core/output_names.h"

namespace {

// One file of the run, from the command line to its report.
struct Entry {
    FileResult result;
    bool decided = false;      // the result is final
    std::string below;         // its folder below the output folder (--keep-tree)
    std::string folder;        // the folder its output goes to
    velmora::NamePlace place;  // where its planned output name stands in its sequence
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

void TakeProbe(const velmora::ProbeFacts& facts, FileResult& r) {
    const ProbeNumbers numbers = NumbersOfProbe(facts);
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
void TakeOutcome(const JobFile& f, FileResult& r) {
    r.packets = f.videoPackets - f.leftOut;
    r.leftOut = f.leftOut;
    r.output = f.output;
    switch (f.outcome) {
        case JobFile::Outcome::kDone: {
            r.status = FileResult::Status::kDone;
            r.reason = LeftOutText(f.leftOut, f.videoPackets, f.fileEnd);
            if (f.fileEnd != INT64_MIN) r.fileEnd = static_cast<double>(f.fileEnd) / 1e6;
            const std::string renamed = NameMismatchText(f.container, f.input);
            if (!renamed.empty()) r.reason += (r.reason.empty() ? "" : "; ") + renamed;
            break;
        }
        case JobFile::Outcome::kFailed:
            r.status = FileResult::Status::kFailed;
            r.reason = f.output.empty()
                           ? NoExtensionText()
                           : FailureText(f.error, f.errorTime, f.output, f.container.muxer);
            r.output.clear();  // a failed file leaves no output behind
            break;
        case JobFile::Outcome::kStopped:
            r.status = FileResult::Status::kStopped;
            r.reason = "shortened";
            // A final name means a whole copy to --if-exists skip: the engine
            // sets the shortened one aside, or a re-run would leave the file
            // half done for good.
            if (f.written == velmora::OutputOutcome::kSetAside) {
                r.setAside = true;
                r.reason = "shortened; set aside so that a re-run copies it again";
            }
            break;
        case JobFile::Outcome::kSkipped:
        case JobFile::Outcome::kPending:
            r.status = FileResult::Status::kSkipped;
            r.reason = "not started";
            r.output.clear();
            break;
    }
    if (!f.strandedPart.empty())
        r.reason += (r.reason.empty() ? "" : "; ") + std::string("its temporary file ") +
                    ShownName(f.strandedPart) + " could not be removed";
    if (!r.output.empty()) r.bytes = SizeOf(r.output);
}

bool IsWhole(const FileResult& r) {
    switch (r.status) {
        case FileResult::Status::kDone:
            // A copy that left video packets out, or of a file cut short,
            // is not a whole copy.
            return r.leftOut == 0 && !r.fileEnd;
        case FileResult::Status::kSkipped:
            return r.outputExists;
        case FileResult::Status::kPlanned:
            return true;
        default:
            return false;
    }
}

// What the lanes of a run share. Entries are probed and copied by several
// lanes at once, but named in the order of the run: each waits for its turn,
// so the "(n)" numbering is the one a run of one file after the other gives.
struct Run {
    Run(const CliOptions& o, std::vector<Entry>& e) : options(o), entries(e) {}

    const CliOptions& options;
    std::vector<Entry>& entries;
    std::vector<size_t> work;  // the entries to probe and copy, in order

    std::mutex mutex;               // guards what follows, up to `finished`
    std::condition_variable named;  // `namedUpTo` moved on
    size_t nextToTake = 0;          // into `work`
    size_t namedUpTo = 0;           // into `work`: the entries before it are named or decided
    std::map<std::string, OutputNamePlanner> planners;  // per output folder
    bool folderChecked = false;
    bool folderOk = true;
    std::map<std::string, std::string> madeFolders;  // below -> why it could not be made

    std::atomic<int> finished{0};  // entries of `work` with their final result

    std::mutex printing;  // standard error: the progress and the lanes' messages
    ProgressPrinter* progress = nullptr;
};

// One engine with the thread that drives it through probe and copy.
struct Lane {
    CAVConverter engine;
    std::atomic<long long> copying{-1};  // the position in `work` of the file in copy; -1 none
};

// A message from a lane, on a line of its own below the progress.
void Say(Run& run, const std::string& text) {
    const std::lock_guard lock(run.printing);
    if (run.progress) run.progress->Clear();
    Complain(text);
}

// The entry's turn in the order of the run, under run.mutex: its output
// name, the output folder's check before the first copy, its folders below
// the output folder. Returns whether it is to be copied.
bool Prepare(Run& run, size_t at, Entry& e) {
    auto planner = run.planners.try_emplace(e.folder, e.folder).first;
    const OutputName name = planner->second.Next(e.result.input);
    if (name.result != OutputNameResult::kOk) {
        Decide(e, FileResult::Status::kFailed, NoExtensionText());
        return false;
    }
    e.result.output = name.path;
    e.place = name.place;
    if (!run.folderChecked) {
        // The files after this one are not all probed yet: all of them count
        // for the space the outputs need.
        run.folderChecked = true;
        std::vector<std::string> inputs;
        for (size_t i = at; i < run.work.size(); ++i)
            inputs.push_back(run.entries[run.work[i]].result.input);
        const FolderCheckResult folder = CheckOutputFolder(run.options.outputFolder, inputs);
        run.folderOk = folder.check == FolderCheck::kOk;
        if (!run.folderOk) Say(run, FolderCheckText(run.options.outputFolder, folder));
    }
    if (!run.folderOk) {
        Decide(e, FileResult::Status::kSkipped, "not started");
        return false;
    }
    if (!e.below.empty()) {
        auto made = run.madeFolders.find(e.below);
        if (made == run.madeFolders.end())
            made = run.madeFolders
                       .emplace(e.below, MakeFoldersBelow(run.options.outputFolder, e.below))
                       .first;
        if (!made->second.empty()) {
            e.result.output.clear();
            Decide(e, FileResult::Status::kFailed, made->second);
            return false;
        }
    }
    return true;
}

// Probes the entry at position `at` of the run and copies it right away, so
// that the copy takes the input the probe opened and analysed. An entry a
// stop reaches before its copy is left undecided: not started.
void ProbeAndCopy(Run& run, Lane& lane, size_t at, Entry& e, StopWatch watch) {
    const velmora::ProbeFacts probe = ProbeFile(lane.engine, e.result.input);
    if (StopSignal() != 0) return;
    if (probe.error < 0)
        Say(run,
            ShownName(e.result.input) + ": refused: " + ProbeRefusalText(e.result.input, probe));
    else
        TakeProbe(probe, e.result);

    bool copy = false;
    {
        std::unique_lock lock(run.mutex);
        while (run.namedUpTo != at) {
            if (StopSignal() != 0) return;
            run.named.wait_for(lock, std::chrono::milliseconds(10));
        }
        if (probe.error < 0)
            Decide(e, FileResult::Status::kRefused, ProbeRefusalText(e.result.input, probe));
        else
            copy = Prepare(run, at, e);
        ++run.namedUpTo;
    }
    run.named.notify_all();
    if (!copy) return;

    JobFile f;
    f.input = e.result.input;
    f.output = e.result.output;
    f.name = e.place;
    f.outputRoot = run.options.outputFolder;
    f.setAsideIfStopped = run.options.ifExists == CliOptions::IfExists::kSkip;
    if (e.result.duration) f.endSeconds = *e.result.duration;
    lane.engine.m_nProgress.store(0, std::memory_order_relaxed);
    lane.copying.store(static_cast<long long>(at), std::memory_order_relaxed);
    RunFile(lane.engine, f, watch);
    lane.copying.store(-1, std::memory_order_relaxed);
    TakeOutcome(f, e.result);
    e.decided = true;
}

// A lane takes the next file of the run until none is left or a stop came.
void RunLane(Run& run, Lane& lane, StopWatch watch) {
    lane.engine.m_bKeepProbedInput = true;
    for (;;) {
        size_t at = 0;
        {
            const std::lock_guard lock(run.mutex);
            if (run.nextToTake == run.work.size() || StopSignal() != 0) return;
            at = run.nextToTake++;
        }
        ProbeAndCopy(run, lane, at, run.entries[run.work[at]], watch);
        run.finished.fetch_add(1, std::memory_order_relaxed);
    }
}

void ShowProgress(Run& run, const std::vector<std::unique_ptr<Lane>>& lanes) {
    std::vector<ProgressPrinter::InWork> files;
    for (const auto& lane : lanes) {
        const long long at = lane->copying.load(std::memory_order_relaxed);
        if (at < 0) continue;
        files.push_back({static_cast<int>(at) + 1, run.entries[run.work[at]].result.input,
                         lane->engine.m_nProgress.load(std::memory_order_relaxed)});
    }
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.number < b.number; });
    const std::lock_guard lock(run.printing);
    run.progress->Show(files, run.finished.load(std::memory_order_relaxed),
                       static_cast<int>(run.work.size()));
}

// Probes and copies the entries not decided yet, each file right after its
// probe, options.jobs files at once; this thread shows the progress and
// passes a stop on to the probes.
void RunEntries(const CliOptions& options, std::vector<Entry>& entries) {
    Run run(options, entries);
    for (size_t i = 0; i < entries.size(); ++i)
        if (!entries[i].decided) run.work.push_back(i);
    if (run.work.empty()) return;

    ProgressPrinter progress(ProgressPrinter::StyleFor(options.quiet));
    run.progress = &progress;
    const size_t laneCount = std::min(static_cast<size_t>(options.jobs), run.work.size());
    std::vector<std::unique_ptr<Lane>> lanes;
    for (size_t i = 0; i < laneCount; ++i) lanes.push_back(std::make_unique<Lane>());
    std::atomic<size_t> running{0};
    std::vector<std::thread> threads;
    for (auto& lane : lanes) {
        try {
            running.fetch_add(1);
            threads.emplace_back([&run, &lane, &running] {
                RunLane(run, *lane, StopWatch::kElsewhere);
                running.fetch_sub(1, std::memory_order_release);
            });
        } catch (const std::system_error&) {
            running.fetch_sub(1);
            break;  // the lanes that started do the work
        }
    }
    if (threads.empty()) {
        RunLane(run, *lanes.front(), StopWatch::kHere);
    } else {
        constexpr auto kProgressInterval = std::chrono::milliseconds(100);
        auto nextShow = std::chrono::steady_clock::now();
        while (running.load(std::memory_order_acquire) > 0) {
            // A probe lowers its stop request when it starts, and so does
            // a job: both are raised again here until the lanes are done.
            if (StopSignal() != 0)
                for (auto& lane : lanes) {
                    lane->engine.m_bStopProbe.store(true, std::memory_order_relaxed);
                    lane->engine.m_bStop.store(true, std::memory_order_relaxed);
                }
            if (std::chrono::steady_clock::now() >= nextShow) {
                ShowProgress(run, lanes);
                nextShow = std::chrono::steady_clock::now() + kProgressInterval;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        for (auto& thread : threads) thread.join();
    }
    {
        const std::lock_guard lock(run.printing);
        progress.Clear();
        run.progress = nullptr;
    }
    for (size_t i : run.work) {
        Entry& e = entries[i];
        if (e.decided) continue;
        // Not reached, or reached by a stop before its copy.
        e.result.output.clear();
        Decide(e, FileResult::Status::kSkipped, "not started");
    }
}

}  // namespace

void Complain(const std::string& text) { std::fprintf(stderr, "velmora-cli: %s\n", text.c_str()); }

velmora::ProbeFacts ProbeFile(CAVConverter& engine, const std::string& file) {
    return engine.ProbeFile(FfmpegName(file));
}

int RunConvert(const CliOptions& options) {
    std::vector<Entry> entries;
    entries.reserve(options.files.size());
    std::set<std::string> claimed;
    // Where each output goes is known before any file is read; with
    // --if-exists skip that passes over the finished files of a re-run.
    for (const auto& file : options.files) {
        Entry& e = entries.emplace_back();
        e.result.input = file;
        PlaceOutput(options, claimed, e);
    }
    if (options.dryRun) {
        for (auto& e : entries) {
            if (int signal = StopSignal()) return 128 + signal;
            if (e.decided) continue;
            const velmora::ProbeFacts probe = ProbeFile(*g_pEngine, e.result.input);
            if (probe.error < 0)
                Refuse(e, ProbeRefusalText(e.result.input, probe));
            else
                TakeProbe(probe, e.result);
        }
        PlanNames(entries);

        // Only what can be seen without writing: the real run also tries a
        // file in the folder.
        std::vector<std::string> inputs;
        for (const auto& e : entries)
            if (!e.decided) inputs.push_back(e.result.input);
        const FolderCheckResult folder =
            CheckOutputFolder(options.outputFolder, inputs, FolderCheckDepth::kWithoutWriting);
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
