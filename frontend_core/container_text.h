#pragma once

// The words both front ends use for a container the engine chose: its name
// as users know it ("MPEG-PS", "Matroska"), and what velmora-cli says of a
// file whose name stood for another container. No Qt.

#include <string>

#include "engine/container_record.h"

// The name of the container FFmpeg's muxer `muxer` writes ("vob" ->
// "MPEG-PS", "mpegts" with `m2ts` -> "M2TS"); an unknown muxer's name in
// capitals; "output" for none.
std::string ContainerName(const std::string& muxer, bool m2ts = false);

// "an MPEG-PS file named .m2v, copied as MPEG-PS" for a file `input` whose
// extension stood for another container than the one it holds; empty when
// the name fits.
std::string NameMismatchText(const velmora::ContainerRecord& container, const std::string& input);
