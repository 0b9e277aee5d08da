#pragma once

// The conversion velmora-cli runs: each file is probed and then copied
// right away, so that it is opened and analysed once; its output name is
// planned in the order of the files (into the output folder, or its own
// folders below it with --keep-tree; numbered or left out when the name is
// taken). With -j N, N files are probed and copied at once, each by an
// engine of its own. Each file is reported on a line of its own, in the
// order given.

#include <string>

#include "engine/probe_facts.h"
#include "options.h"

class CAVConverter;

// Probes one file, named as the user gave it, with the engine; see
// CAVConverter::ProbeFile().
velmora::ProbeFacts ProbeFile(CAVConverter& engine, const std::string& file);

// Runs the job `options` describe on the process's engine and returns the
// exit status: 0 when every file was copied whole or left out because its
// output exists, 1 when any was refused, failed, stopped or not started,
// 128 + the signal that stopped the run.
int RunConvert(const CliOptions& options);

// Prints a message on standard error, after the program's name.
void Complain(const std::string& text);
