#pragma once

// The media engine: one object that is at once the job description the
// user interface hands to the worker thread, the place where the worker
// reports progress and per-input results, and the holder of the last probe's
// results. It has no Qt dependency and never calls back into a user
// interface: callers poll the atomic fields below.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/container_record.h"
#include "engine/input_result.h"
#include "engine/output_name.h"
#include "engine/probe_facts.h"

namespace velmora {
class ProbedInput;
struct InputSession;
}  // namespace velmora

// Per-input result stored in m_status.
enum InputStatus : std::int8_t {
    kStatusPending = -1,
    kStatusSucceeded = 1,
    kStatusFailed = 2,
};

namespace velmora {

// What becomes of a copy that a stop request ended after its first picture.
enum class StoppedCopy : std::int8_t {
    kKeep,      // a valid, shortened file under its final name
    kSetAside,  // the same under "<final name>.velmora-stopped.part", for a
                // front end to which a final name means a finished copy
                // (velmora-cli --if-exists skip): it never has that name
};

// How an output is named and kept, beside its planned name.
struct OutputPlan {
    // Where the planned name stands in its sequence (engine/output_name.h);
    // an empty `first` makes the planned name its own first choice.
    NamePlace name;
    // The user's output folder, which the output lies below (see
    // OutputFile::Create()); empty: the output's own folder.
    std::string root;
    StoppedCopy whenStopped = StoppedCopy::kKeep;
};

}  // namespace velmora

// One input of a job as a front end hands it to StartJob().
struct JobItem {
    JobItem() = default;
    JobItem(std::string inputName, std::string outputName, double endSeconds = 0)
        : input(std::move(inputName)), output(std::move(outputName)), end(endSeconds) {}

    std::string input;   // the name FFmpeg opens (UTF-8 bytes of the path)
    std::string output;  // the planned output name, same form
    double end = 0;      // seconds that 100 % progress stands for; 0 = unknown
    // Where `output` stands in the input's names, as the planning found it
    // (OutputName::place): when `output` is taken by the time the copy is
    // finished, the next name after it is used. Left empty, `output` is
    // taken for the first choice.
    velmora::NamePlace name;
    // The user's output folder, when `output` goes to a folder below it
    // (velmora-cli --keep-tree); empty: `output`'s own folder.
    std::string outputRoot;
    velmora::StoppedCopy whenStopped = velmora::StoppedCopy::kKeep;
};

// Result of Probe() for a file a job could copy. Any other result is
// negative: an FFmpeg error code or one of the engine's (see
// velmora::ProbeFacts::error).
enum ProbeResult : int {
    kProbeOk = 0,
};

class CAVConverter {
public:
    CAVConverter();
    // Raises the stop request and joins a running worker, so releasing the
    // engine never leaves a thread behind that uses it.
    ~CAVConverter();
    CAVConverter(const CAVConverter&) = delete;
    CAVConverter& operator=(const CAVConverter&) = delete;

    // ---- Job record -------------------------------------------------------
    // Written by the user interface only while no worker runs (Start() joins
    // the previous one), read by the worker.

    // Output time in seconds of the last video packet written (worker only).
    double m_dVideoPos = 0.0;
    // Stop request: set by the user interface, tested by the worker before
    // every packet and by the input's interrupt callback.
    std::atomic<bool> m_bStop{false};
    // UTF-8 path (the bytes the operating system uses) of the file to probe.
    std::string m_pszProbeFile;
    // Input and output names of the job, same index; sized by AllocNames().
    std::vector<std::string> m_ppszInputs;
    std::vector<std::string> m_ppszOutputs;
    // How each output is named and kept beside its planned name, same
    // index; filled by StartJob() (AllocNames() leaves the defaults: the
    // planned name is its own first choice, in its own folder, and a
    // stopped copy keeps it).
    std::vector<velmora::OutputPlan> m_outputPlans;
    // Status of each input (InputStatus values), sized by AllocNames(): the
    // store the worker publishes each input's record by (release).
    std::unique_ptr<std::atomic<std::int8_t>[]> m_status;
    // The record of each input (see InputResult), written by the worker
    // only; read it through ReadInputResult(), which reads the status first.
    std::vector<InputResult> m_results;
    // End point of each input in seconds: what 100 % progress means.
    std::vector<double> m_dEnd;
    // Progress of the running input in percent; -1 = not started or no
    // percentage can be given (end point 0 or unknown).
    std::atomic<int> m_nProgress{0};

    // Stop request for a probe in progress: may be raised from another thread
    // or a signal handler; a probe lowers it when it starts.
    std::atomic<bool> m_bStopProbe{false};
    static constexpr std::int64_t kProbeByteBudget = 64 << 20;
    // When set, a successful probe keeps its file open and analysed, and
    // a job whose first input is that file, unchanged, copies from it
    // instead of opening and analysing it again. The file stays open until
    // then (or until the next probe, or the engine goes), which is why a
    // front end that probes long before it copies leaves this off.
    bool m_bKeepProbedInput = false;

    // ---- Probe results (written by ProbeFile(), read by the front ends) ---
    // The last probe's facts as one record, as ProbeFile() returned them.
    // The fields below hold the same facts one by one.
    velmora::ProbeFacts m_lastProbe;
    std::int64_t m_llDuration = 0;  // microseconds, AV_NOPTS_VALUE if unknown
    int m_nVideoProfile = 0;
    int m_nVideoBitRate = 0;  // bits per second, low 32 bits; 0 = not known
    // The same in full: raw video (v210, say) goes beyond the 2^31 bit/s an
    // int holds. 0 = not known.
    std::int64_t m_llVideoBitRate = 0;
    int m_nInHeight = 0;
    int m_nInWidth = 0;
    int m_nFpsDen = 0;
    int m_nFpsNum = 0;
    int m_nVideoCodec = 0;  // AVCodecID of the video stream; 0 = none
    // The container a job would write this file in (or the one it cannot
    // write), as velmora::ChooseOutputContainer() chose it.
    velmora::ContainerRecord m_probedContainer;

    // Input the worker is on; -1 idle; m_nInputCount once the worker has
    // passed the last input. Only StartJob() and the worker write it.
    std::atomic<int> m_nCurrent{-1};
    // Number of files the progress display counts.
    int m_nJobCount = 0;
    // Number of inputs of the job.
    int m_nInputCount = 0;

    // ---- Operations -------------------------------------------------------

    // Sizes the name arrays (empty names), the status array (all pending),
    // the error array and the end points to `count` inputs and sets
    // m_nInputCount. Joins a previous worker first. The buffer size of the
    // original design is meaningless for std::string and ignored.
    void AllocNames(int count, int bufferSize = 256);

    // Probes the file `name` (UTF-8 bytes of the path, kept in
    // m_pszProbeFile) and returns what it found; the same record stays in
    // m_lastProbe and its facts in the probe result fields. Joins a previous
    // worker first. A file is refused (ProbeFacts::error < 0) when it cannot
    // be opened or read (the file system's error), when FFmpeg cannot read
    // it as media or finds no video in it (velmora::kErrorNotVideoFile),
    // when its streams cannot be analysed (velmora::kErrorNoStreamInfo),
    // when a decoder of its sound or video cannot be opened (FFmpeg's
    // error), and when the job could not write it (see
    // velmora::ChooseOutputContainer(), which both use; the record's
    // container says which one it chose). Reads at most kProbeByteBudget
    // bytes, so an endless input is refused too, and ends early when
    // m_bStopProbe is raised.
    velmora::ProbeFacts ProbeFile(const std::string& name);

    // ProbeFile(m_pszProbeFile); returns its error (kProbeOk when accepted).
    int Probe();

    // Starts a job over `items`, the way every front end starts one: waits
    // for a previous worker, sizes and fills the job record (names, end
    // points, m_nInputCount and m_nJobCount = items.size()), lowers the stop
    // request, puts m_nCurrent at -1 and m_nProgress at 0, and calls Start().
    void StartJob(const std::vector<JobItem>& items);

    // Starts the worker on the job record as it stands; StartJob() fills the
    // record first. Joins a previous worker first. Each output is
    // written under a temporary name and given its final name once it is
    // finished (or once a stop has ended it as a valid shortened file, which
    // m_outputPlans may have set aside instead); when that name is taken by
    // then, the next free name of its sequence is used that is not planned
    // for another input of the job. ReadInputResult() tells what was done
    // and under which name. A failed input leaves no file behind, and the
    // worker goes on with the next input.
    // When no thread can be started, every input fails with
    // velmora::kErrorNoThread.
    void Start();

    // Waits for the worker, if one was started. Safe to call at any time
    // from the thread that calls Start().
    void Join();

    // Closes the input a probe kept (see m_bKeepProbedInput), unless a job
    // is running (its worker takes or drops it by itself). From the thread
    // that calls Start().
    void ReleaseProbedInput();

    // True while the worker thread has not finished its procedure.
    bool IsRunning() const { return m_bRunning.load(std::memory_order_acquire); }

    // What the last worker procedure returned: 0 = no input failed, -1 = at
    // least one input failed.
    int WorkerResult() const { return m_nWorkerResult.load(std::memory_order_relaxed); }

private:
    // Puts `facts` into m_lastProbe and the probe result fields.
    void KeepProbe(const velmora::ProbeFacts& facts);
    void WorkerProc();
    // Back to pending, with no error and no packets counted.
    void ResetInputResult(int index);
    // Copies input `index`, fills its record and publishes it.
    void RunInput(int index);
    // The copy of RunInput(), up to the status it ends in; fills the record
    // but for its status.
    struct InputEnd;
    InputEnd CopyInput(int index, std::unique_ptr<velmora::InputSession>& taken);
    // Gives the finished (or stopped) output of input `index` its name.
    int NameOutput(int index, velmora::InputSession& session, bool stopped);
    // Whether `name` is planned for an input of the job other than `index`.
    bool PlannedForAnother(int index, const std::string& name) const;
    // Records why input `index` failed (and where in the input reading
    // failed, in microseconds), then marks it failed.
    void Fail(int index, int error, std::int64_t at = INT64_MIN);

    // Number of entries AllocNames() made; the worker never goes past it.
    int m_nAllocated = 0;
    // The input of the last probe, while kept for the job (see
    // m_bKeepProbedInput). Used by the probe and by the worker, never at once:
    // each joins the other first.
    std::unique_ptr<velmora::ProbedInput> m_probed;
    // The planned names of the job (NameKey()), with how many inputs each.
    std::map<std::string, int> m_plannedNames;
    std::thread m_worker;
    std::atomic<bool> m_bRunning{false};
    std::atomic<int> m_nWorkerResult{0};
};

// The process's single engine, created on first use by the user interface
// and released when its main window closes.
extern std::unique_ptr<CAVConverter> g_pEngine;
