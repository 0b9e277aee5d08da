#pragma once

// The conversion velmora-cli runs: every file is probed first, its output
// name planned (into the output folder, or its own folders below it with
// --keep-tree; numbered or left out when the name is taken), then the
// files are run as one job and each is reported on a line of its own.

#include <string>

#include "options.h"

class CAVConverter;

// Probes one file with the engine; see CAVConverter::Probe().
int ProbeFile(CAVConverter& engine, const std::string& file);

// Runs the job `options` describe on the process's engine and returns the
// exit status: 0 when every file was copied whole or left out because its
// output exists, 1 when any was refused, failed, stopped or not started,
// 128 + the signal that stopped the run.
int RunConvert(const CliOptions& options);

// Prints a message on standard error, after the program's name.
void Complain(const std::string& text);
