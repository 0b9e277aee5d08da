#include "frontend_core/output_names.h"

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

OutputNamePlanner::OutputNamePlanner(const std::string& folder) : m_prefix(folder) {
    if (!m_prefix.empty() && !EndsWithSeparator(m_prefix)) m_prefix += kSeparator;
}

OutputName OutputNamePlanner::Next(const std::string& input) {
    OutputName out;
    const std::string fileName = velmora::FileNameOf(input);
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) {
        out.result = OutputNameResult::kNoExtension;
        return out;
    }
    auto taken = [&](const std::string& name) {
        // A name whose state cannot be read is left to the job, which
        // reports the failure when it cannot create the file.
        return m_planned.count(Key(name)) > 0 ||
               velmora::StateOfName(name) == velmora::NameState::kTaken;
    };
    const std::string first = m_prefix + fileName;
    std::string name = first;
    for (long long n = 0; taken(name); ++n) name = velmora::NumberedName(first, n);

    m_planned.insert(Key(name));
    out.path = name;
    return out;
}

std::vector<OutputName> PlanOutputNames(const std::string& folder,
                                        const std::vector<std::string>& inputs) {
    OutputNamePlanner planner(folder);
    std::vector<OutputName> names;
    names.reserve(inputs.size());
    for (const auto& input : inputs) names.push_back(planner.Next(input));
    return names;
}
