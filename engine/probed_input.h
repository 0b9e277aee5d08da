#pragma once

// The input of the last successful probe, kept open for a job that copies
// the same file right after, so that the file is opened and analysed once:
// the job then starts from exactly the state its own analysis would have
// reached. Only a regular file that is unchanged since the probe (same file,
// size and times) is handed over; anything else is opened again.

#include <memory>
#include <optional>
#include <string>

#include "engine/file_identity.h"
#include "engine/input_setup.h"

namespace velmora {

class ProbedInput {
public:
    // Keeps `session`, probed under `name`, whose file had identity `before`
    // when the probe opened it. Releases what was kept before.
    void Keep(const std::string& name, const FileIdentity& before,
              std::unique_ptr<InputSession> session);

    // The kept input when it was probed under `name` and its file has not
    // changed since; null otherwise. Either way nothing stays kept.
    std::unique_ptr<InputSession> Take(const std::string& name);

    void Release();

private:
    std::string m_name;
    FileIdentity m_identity;
    std::unique_ptr<InputSession> m_session;
};

}  // namespace velmora
