#pragma once

// Every text velmora-cli shows about a failure is made here: the engine and
// the job planning report codes, this file turns them into words.

#include <string>

#include "output_folder.h"

// FFmpeg's text for an error code (negative AVERROR value).
std::string ErrorText(int error);

// Why the probe refused `file` (`result` < 0 from CAVConverter::Probe).
std::string ProbeRefusalText(const std::string& file, int result);

// Why the output folder cannot take the job's outputs.
std::string FolderCheckText(const std::string& folder, const FolderCheckResult& result);

// Why the job failed an input: `error` is the engine's code for it (0 when
// it gave none), `output` the output name it was to write.
std::string JobFailureText(int error, const std::string& output);

// A file whose name has no extension.
std::string NoExtensionText();
