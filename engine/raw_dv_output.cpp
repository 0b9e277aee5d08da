#include "engine/raw_dv_output.h"

#include <cstring>

namespace velmora {

const AVOutputFormat* VerbatimMuxerFor(const char* outputName) {
    const AVOutputFormat* chosen = av_guess_format(nullptr, outputName, nullptr);
    if (!chosen || std::strcmp(chosen->name, "dv") != 0) return nullptr;
    return av_guess_format("rawvideo", nullptr, nullptr);
}

}  // namespace velmora
