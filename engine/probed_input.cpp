#include "engine/probed_input.h"

namespace velmora {

void ProbedInput::Keep(const std::string& name, const FileIdentity& before,
                       std::unique_ptr<InputSession> session) {
    Release();
    // Until a job takes it, nothing may interrupt its reads: the probe's
    // stop request and byte budget are gone with the probe.
    if (session && session->relay) session->relay->target = AVIOInterruptCB{nullptr, nullptr};
    m_name = name;
    m_identity = before;
    m_session = std::move(session);
}

std::unique_ptr<InputSession> ProbedInput::Take(const std::string& name) {
    std::unique_ptr<InputSession> session = std::move(m_session);
    const bool same = session && name == m_name && IdentityOf(name.c_str()) == m_identity;
    Release();
    return same ? std::move(session) : nullptr;
}

void ProbedInput::Release() {
    m_session.reset();
    m_name.clear();
    m_identity = {};
}

}  // namespace velmora
