#include "engine/raw_dv_output.h"

#include <cstring>

namespace velmora {

const AVOutputFormat* VerbatimMuxerFor(const AVOutputFormat* chosen) {
    if (!chosen || std::strcmp(chosen->name, "dv") != 0) return chosen;
    return av_guess_format("rawvideo", nullptr, nullptr);
}

}  // namespace velmora
