#pragma once

// Output names of a job: each input is written into the output folder under
// its own file name and extension, made unique with "(0)", "(1)", … (the
// one rule of engine/output_name.h) so that no existing file and no other
// output of the same job is replaced.

#include <set>
#include <string>
#include <vector>

#include "engine/output_name.h"

enum class OutputNameResult {
    kOk,
    kNoExtension,  // the file name has no ".", so no container can be chosen
};

struct OutputName {
    OutputNameResult result = OutputNameResult::kOk;
    std::string path;  // UTF-8; empty unless result is kOk
    // Where `path` stands in the input's sequence of names: the job hands
    // this to the engine (JobItem::name), which goes on from there when
    // `path` is taken by the time the output is finished.
    velmora::NamePlace place;
};

// Plans the names of one output folder one input at a time, in the order
// the inputs come: each name is the first that is neither on disk nor given
// to an earlier input of this planner. Planning the inputs one by one gives
// the same names as PlanOutputNames() over all of them, as long as nothing
// but the planned outputs appears in the folder meanwhile.
class OutputNamePlanner {
public:
    explicit OutputNamePlanner(const std::string& folder);
    OutputName Next(const std::string& input);

private:
    std::string m_prefix;
    std::set<std::string> m_planned;  // compared the way the file system compares names
};

// One entry per input, same order. `folder` and `inputs` are UTF-8. A name is
// taken when anything of that name exists on disk (a file, a folder, even a
// dangling link) or when an earlier input of the same call was given it.
std::vector<OutputName> PlanOutputNames(const std::string& folder,
                                        const std::vector<std::string>& inputs);
