#include "engine/input_result.h"

#include "engine/av_converter.h"

InputResult ReadInputResult(const CAVConverter& engine, int index) {
    InputResult result;
    // The acquire pairs with the worker's release of the status, and of its
    // running flag at its end: what the worker wrote before either is seen.
    result.status = engine.m_status[index].load(std::memory_order_acquire);
    const bool final = result.status == kStatusSucceeded || result.status == kStatusFailed;
    if (!final) {
        if (engine.IsRunning()) return result;
        // The worker has ended since the first read: the status may be
        // final by now, and it stays as it is read here.
        result.status = engine.m_status[index].load(std::memory_order_acquire);
    }
    result.output = engine.m_ppszOutputs[index];
    result.error = engine.m_nError[index].load(std::memory_order_relaxed);
    result.errorTime = engine.m_llErrorTime[index].load(std::memory_order_relaxed);
    result.videoPackets = engine.m_llVideoPackets[index].load(std::memory_order_relaxed);
    result.leftOut = engine.m_llLeftOut[index].load(std::memory_order_relaxed);
    result.container = engine.m_containers[index];
    result.fileEnd = engine.m_llFileEnd[index].load(std::memory_order_relaxed);
    return result;
}
