#pragma once

// Which of FFmpeg's muxers write the container an input is in, told from
// what the demuxer found in the file, never from its name: the major brand
// of an MP4/MOV, the pack header of a program stream, the DocType of a
// Matroska file, the packet size of a transport stream.

#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmora {

struct ContainerKind {
    // FFmpeg's muxers that write this container as the input has it,
    // comma-separated: "mp4,mov,3gp,…" for the MP4/MOV family.
    std::string muxers;
    // Muxers of the same kind in another version (MPEG-1 beside MPEG-2
    // program streams): a name of theirs is a name of this kind, but they
    // would not write what the input is.
    std::string related;
    // Extensions files of this kind go by that no muxer lists: the names
    // camcorders and recorders give them (".tod", ".mod", ".divx", ...).
    std::string otherNames;
    // The muxer of the input's own container; null when FFmpeg has none.
    const AVOutputFormat* own = nullptr;
    // A transport stream of 192-byte packets (M2TS).
    bool m2ts = false;
};

// The kind of container of the open `input`. May read the first bytes of a
// seekable input again; its read position is kept.
ContainerKind KindOfInput(const AVFormatContext* input);

// True when `extension` is one of the names of some kind of container that
// no muxer lists (see ContainerKind::otherNames).
bool IsOtherNameOfAnyKind(const std::string& extension);

}  // namespace velmora
