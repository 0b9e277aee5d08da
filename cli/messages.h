#pragma once

// Every text velmora-cli shows about a failure is made here: the engine and
// the job planning report codes, this file turns them into words.

#include <string>

#include "frontend_core/failure_text.h"
#include "frontend_core/output_folder.h"

// Why the output folder cannot take the job's outputs.
std::string FolderCheckText(const std::string& folder, const FolderCheckResult& result);

// A file whose name has no extension.
std::string NoExtensionText();
