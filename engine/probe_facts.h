#pragma once

// What a probe found out about one file, as one value: every fact a front
// end shows of it, and why it was refused. A front end takes the record the
// probe returns instead of reading the engine's fields one by one, so a new
// fact is added here, in the probe that fills it and where it is shown.
// Plain values: the front ends turn them into words.

#include <cstdint>

#include "engine/container_record.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace velmora {

struct ProbeFacts {
    // 0 when a job could copy the file; otherwise why not: an FFmpeg error
    // code, or one of the engine's (engine/engine_errors.h).
    int error = 0;
    // The error is the file system's own: the file could not be opened or
    // a read of it failed (a bad sector, no permission). Otherwise it is
    // about what the file holds.
    bool unreadable = false;

    // Microseconds; AV_NOPTS_VALUE when the file does not tell.
    std::int64_t duration = AV_NOPTS_VALUE;
    // Of the video stream reported (the last one when there are several);
    // 0 when unknown.
    int width = 0;
    int height = 0;
    // The frame rate as a fraction; a 0 denominator when unknown.
    int fpsNum = 0;
    int fpsDen = 0;
    // Bits per second, in full (raw video goes beyond 2^31); 0 = not known.
    std::int64_t videoBitRate = 0;
    int videoCodec = 0;    // AVCodecID; 0 = no video found
    int videoProfile = 0;  // FFmpeg's profile number (FF_PROFILE_*)
    // The container a job would write the file in, or the one it cannot
    // write, as ChooseOutputContainer() chose it.
    ContainerRecord container;
};

}  // namespace velmora
