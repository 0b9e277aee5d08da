#pragma once

// Output names of a job: each input is written into the output folder under
// its own file name and extension, made unique with "(0)", "(1)", … so that
// no existing file and no other output of the same job is replaced.

#include <string>
#include <vector>

enum class OutputNameResult {
    kOk,
    kNoExtension,  // the file name has no ".", so no container can be chosen
};

struct OutputName {
    OutputNameResult result = OutputNameResult::kOk;
    std::string path;  // UTF-8; empty unless result is kOk
};

// One entry per input, same order. `folder` and `inputs` are UTF-8. A name is
// taken when anything of that name exists on disk (a file, a folder, even a
// dangling link) or when an earlier input of the same call was given it.
std::vector<OutputName> PlanOutputNames(const std::string& folder,
                                        const std::vector<std::string>& inputs);
