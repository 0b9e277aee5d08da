#pragma once

// Every text either front end shows about a failed file, or about a file
// copied only in part, is made here, in words a user can act on: the engine
// and the probe report codes and counts, this file turns them into words. No
// Qt, so the window and velmora-cli say the same.

#include <string>

#include "engine/probe_facts.h"

class CAVConverter;

// FFmpeg's text for an error code (negative AVERROR value).
std::string ErrorText(int error);

// Why the probe refused `file`, from what it found (`facts.error` < 0):
// the video codec names the video a container cannot hold, the container
// the one it would have been written in.
std::string ProbeRefusalText(const std::string& file, const velmora::ProbeFacts& facts);

// Why the job failed input `input` of the engine's last job, from the
// reasons the worker kept (error code, place in the input, output name).
std::string InputFailureText(const CAVConverter& engine, int input);

// The same from the parts: `error` is the engine's code (0 when it gave
// none), `errorTimeUs` where in the input reading failed (AV_NOPTS_VALUE:
// not a read error), `output` the output name it was to write, `container`
// the muxer the engine chose for it (ContainerRecord::muxer; empty: the one
// the output's extension stands for).
std::string FailureText(int error, long long errorTimeUs, const std::string& output,
                        const std::string& container = {});

// A time in the input or the output, in microseconds, as time text
// (HH:MM:SS.mmm); a negative time reads as 00:00:00.000.
std::string InputTimeText(long long microseconds);

// What a copy that is not whole says beside "done": "3 of 750 video packets
// left out", and for a file cut short (`fileEndUs` is not AV_NOPTS_VALUE)
// also where it ends: "320 of 745 video packets left out: the file ends at
// 00:00:12.800", or "cut short: the file ends at 00:00:04.640" when its
// index cannot count what is missing. Empty for a whole copy.
std::string LeftOutText(long long leftOut, long long videoPackets, long long fileEndUs);
