#include "engine/av_converter.h"

#include <algorithm>
#include <system_error>

#include "engine/engine_errors.h"
#include "engine/probed_input.h"

extern "C" {
#include <libavutil/avutil.h>
}

std::unique_ptr<CAVConverter> g_pEngine;

CAVConverter::CAVConverter() : m_probed(std::make_unique<velmora::ProbedInput>()) {}

CAVConverter::~CAVConverter() {
    m_bStop.store(true, std::memory_order_relaxed);
    Join();
}

void CAVConverter::AllocNames(int count, int /*bufferSize*/) {
    Join();
    count = std::max(count, 0);
    m_ppszInputs.assign(count, std::string());
    m_ppszOutputs.assign(count, std::string());
    m_outputPlans.assign(count, velmora::OutputPlan());
    m_status = std::make_unique<std::atomic<std::int8_t>[]>(count);
    m_results.assign(count, InputResult());
    for (int i = 0; i < count; ++i) ResetInputResult(i);
    m_dEnd.assign(count, 0.0);
    m_nAllocated = count;
    m_nInputCount = count;
}

void CAVConverter::ResetInputResult(int index) {
    m_status[index].store(kStatusPending, std::memory_order_relaxed);
    m_results[index] = InputResult();
    // Until the input has an output of its own, its planned name, which
    // words a failure.
    m_results[index].output = m_ppszOutputs[index];
}

void CAVConverter::StartJob(const std::vector<JobItem>& items) {
    const int count = static_cast<int>(items.size());
    // Waits for a previous worker, so the record is ours to fill.
    AllocNames(count);
    m_nJobCount = count;
    // Not started yet: no percentage to show until the worker begins.
    m_nProgress.store(-1, std::memory_order_relaxed);
    for (int i = 0; i < count; ++i) {
        m_ppszInputs[i] = items[i].input;
        m_ppszOutputs[i] = items[i].output;
        m_outputPlans[i] = {items[i].name, items[i].outputRoot, items[i].whenStopped};
        m_dEnd[i] = items[i].end;
    }
    m_nCurrent.store(-1, std::memory_order_relaxed);
    // A stop request left raised by the previous job would end this one
    // before its first packet.
    m_bStop.store(false, std::memory_order_relaxed);
    m_nProgress.store(0, std::memory_order_relaxed);
    Start();
}

void CAVConverter::Start() {
    Join();
    m_nWorkerResult.store(0, std::memory_order_relaxed);
    m_bRunning.store(true, std::memory_order_relaxed);
    try {
        m_worker = std::thread([this] { WorkerProc(); });
    } catch (const std::system_error&) {
        // No thread to be had (resource limits): the job fails, visibly,
        // instead of ending the program.
        const int count = std::clamp(m_nInputCount, 0, m_nAllocated);
        for (int i = 0; i < count; ++i) {
            ResetInputResult(i);
            Fail(i, velmora::kErrorNoThread);
        }
        m_nCurrent.store(count, std::memory_order_relaxed);
        m_nWorkerResult.store(-1, std::memory_order_relaxed);
        m_bRunning.store(false, std::memory_order_release);
    }
}

void CAVConverter::Join() {
    if (m_worker.joinable()) m_worker.join();
}

void CAVConverter::ReleaseProbedInput() {
    if (IsRunning()) return;
    Join();
    m_probed->Release();
}
