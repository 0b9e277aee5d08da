#pragma once

// The interrupt callback an input is opened with, and that may change
// afterwards. FFmpeg copies an AVIOInterruptCB into the file's I/O when the
// file is opened, out of reach from then on; an input opened by a probe
// and then handed to a job must give way to the job's stop request, not to
// the probe's. Both are handed the relay, which asks whoever holds the
// input now.

extern "C" {
#include <libavformat/avio.h>
}

namespace velmora {

struct InterruptRelay {
    AVIOInterruptCB target{nullptr, nullptr};  // none: never interrupted

    static int Ask(void* relay) {
        const AVIOInterruptCB& to = static_cast<const InterruptRelay*>(relay)->target;
        return to.callback ? to.callback(to.opaque) : 0;
    }
    AVIOInterruptCB Callback() { return AVIOInterruptCB{&Ask, this}; }
};

}  // namespace velmora
