#pragma once

// The container a copy is written in: the input's own, whatever its name
// says, kept in the member of its family the name's extension stands for
// (a .3gp stays 3GP, a .webm WebM). The probe and the job make the same
// choice, so a file the probe accepts is one the job can write.

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/container_record.h"
#include "engine/ff_ptr.h"

namespace velmora {

struct OutputContainer {
    // FFmpeg's writer of the output; when the choice failed, the muxer it
    // failed on (if any), so the words can name it.
    const AVOutputFormat* muxer = nullptr;
    bool m2ts = false;          // MPEG-TS with 192-byte packets
    bool nameMismatch = false;  // the extension stands for another container
};

// Chooses the container for copying the video of `input` into a file named
// `name`, whose extension is the input's. In order:
//   - a muxer the extension stands for that writes the input's container
//     as it is (".mp4" for an MP4/MOV file, ".webm" for Matroska);
//   - otherwise the muxer of the input's own container (by its major
//     brand, pack header, DocType), and when the extension stands for
//     another container, `nameMismatch`;
//   - the input's packet format is kept (192-byte MPEG-TS stays so).
// Returns 0, or: AVERROR_MUXER_NOT_FOUND (FFmpeg writes no such container,
// or the name has no extension), kErrorNotSingleFile (the container, or
// the one the name stands for, writes files of its own: image sequences,
// playlists, segments), kErrorWriterChangesVideo (FFmpeg's writer of the
// container changes the video packets), kErrorCodecNotInContainer (another
// member of the family than the input's own cannot hold its video; the
// input's own container holds what it holds).
int ChooseOutputContainer(const char* name, const AVFormatContext* input, OutputContainer& chosen);

// Makes the output context for `chosen` under `name`, with the options the
// choice needs (the MPEG-TS packet size). Returns 0 or an error code;
// `output` owns whatever was made.
int NewOutputContext(const OutputContainer& chosen, const char* name, OutputFormatPtr& output);

// What the front ends are told about `chosen`.
ContainerRecord RecordOf(const OutputContainer& chosen);

}  // namespace velmora
