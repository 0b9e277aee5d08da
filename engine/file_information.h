#pragma once

// What a file says of itself beside its streams: its tags (title, comment,
// the recording date, the place it was filmed, the camera) and its chapters.
// The copy is the same video without its sound, so all of it is carried
// over.

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/packet_times.h"

namespace velmora {

// Copies the file-level tags of `input` into `output`, leaving out those
// that describe the sound, and its chapters, moved by `shift` like the
// video so each still starts at the same picture. A chapter that ends
// before the shifted file starts is left out; one that starts before it
// starts at zero. Call before the header is written. Returns 0 or an FFmpeg
// error code.
int CopyFileInformation(AVFormatContext* output, const AVFormatContext* input,
                        const FileShift& shift);

}  // namespace velmora
