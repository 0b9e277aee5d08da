#include "frontend_core/output_names.h"

namespace {

using velmora::NameKey;

#ifdef _WIN32
constexpr char kSeparator = '\\';
bool EndsWithSeparator(const std::string& folder) {
    return !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
}
#else
constexpr char kSeparator = '/';
bool EndsWithSeparator(const std::string& folder) {
    return !folder.empty() && folder.back() == '/';
}
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
        return m_planned.count(NameKey(name)) > 0 ||
               velmora::StateOfName(name) == velmora::NameState::kTaken;
    };
    velmora::NamePlace place{m_prefix + fileName, -1};
    while (taken(velmora::NameAt(place))) ++place.number;

    out.path = velmora::NameAt(place);
    out.place = place;
    m_planned.insert(NameKey(out.path));
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
