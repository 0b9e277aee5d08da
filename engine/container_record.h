#pragma once

// What the engine tells the front ends about the container an output was
// (or would have been) written in. Plain values, no FFmpeg types: the front
// ends turn them into words.

#include <string>

namespace velmora {

struct ContainerRecord {
    // FFmpeg's name of the muxer that writes the output ("mp4", "vob",
    // "mpegts", ...); empty when none was chosen.
    std::string muxer;
    // MPEG-TS written with 192-byte packets (a time stamp before each
    // 188-byte packet), as Blu-ray and AVCHD cameras keep it.
    bool m2ts = false;
    // The name's extension stands for another container than the one the
    // file holds: the copy keeps the file's own container and its name.
    bool nameMismatch = false;
};

}  // namespace velmora
