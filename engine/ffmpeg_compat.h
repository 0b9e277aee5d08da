#pragma once

// Switches for the differences between the FFmpeg versions the engine builds
// against (5.1 and later), each named for what it tests.

extern "C" {
#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
}

// FFmpeg 6.1 moved a stream's side data (display matrix, HDR metadata, ...)
// from AVStream into AVCodecParameters::coded_side_data, which
// avcodec_parameters_copy carries along. Before that it lives on the stream
// and must be copied with av_stream_get_side_data / av_stream_new_side_data.
#define VELMORA_HAS_CODED_SIDE_DATA (LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 29, 100))

// FFmpeg 7 passes the bytes an AVIOContext writes as const.
#define VELMORA_AVIO_WRITES_CONST (LIBAVFORMAT_VERSION_MAJOR >= 61)
