#include "engine/input_result.h"

#include "engine/av_converter.h"

InputResult ReadInputResult(const CAVConverter& engine, int index) {
    // The acquire pairs with the worker's release of the status, and of its
    // running flag at its end: the record the worker wrote before either is
    // seen.
    const int status = engine.m_status[index].load(std::memory_order_acquire);
    const bool final = status == kStatusSucceeded || status == kStatusFailed;
    if (!final && engine.IsRunning()) {
        InputResult pending;
        pending.status = status;
        return pending;
    }
    InputResult result = engine.m_results[index];
    // The worker has ended since the first read, or the status was final:
    // it stays as it is read here.
    result.status = engine.m_status[index].load(std::memory_order_acquire);
    return result;
}
