#include "jobs/output_names.h"

#include <set>

#include "engine/output_name.h"

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
bool EndsWithSeparator(const std::string& folder) {
    return !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
}
// Windows file names differ in case only: planned names are compared the
// way the file system compares them (ASCII letters are enough here, the
// disk test catches the rest).
std::string Key(std::string name) {
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}
#else
constexpr char kSeparator = '/';
bool EndsWithSeparator(const std::string& folder) {
    return !folder.empty() && folder.back() == '/';
}
std::string Key(const std::string& name) { return name; }
#endif

}  // namespace

std::vector<OutputName> PlanOutputNames(const std::string& folder,
                                        const std::vector<std::string>& inputs) {
    std::string prefix = folder;
    if (!prefix.empty() && !EndsWithSeparator(prefix)) prefix += kSeparator;

    std::set<std::string> planned;
    std::vector<OutputName> names;
    names.reserve(inputs.size());
    for (const auto& input : inputs) {
        OutputName out;
        const std::string fileName = velmora::FileNameOf(input);
        const size_t dot = fileName.rfind('.');
        if (dot == std::string::npos) {
            out.result = OutputNameResult::kNoExtension;
            names.push_back(out);
            continue;
        }
        auto taken = [&](const std::string& name) {
            // A name whose state cannot be read is left to the job, which
            // reports the failure when it cannot create the file.
            return planned.count(Key(name)) > 0 ||
                   velmora::StateOfName(name) == velmora::NameState::kTaken;
        };
        const std::string first = prefix + fileName;
        std::string name = first;
        for (long long n = 0; taken(name); ++n) name = velmora::NumberedName(first, n);

        planned.insert(Key(name));
        out.path = name;
        names.push_back(out);
    }
    return names;
}
