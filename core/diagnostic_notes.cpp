// The diagnostic log's notes that need the agent state.
#include "agent_core.h"
#include "diagnostic_lines.h"

namespace kov {

// Called with every presentation decision; one line per change of the status
// the tray shows, not one per poll.
void AgentCore::NoteStatus() {
    const std::pair<PresenceStatus, bool> shown{state_.status, state_.signedOut};
    if (loggedStatus_ == shown) return;
    loggedStatus_ = shown;
    log_->Write(StatusLine(shown.first, shown.second));
}

}  // namespace kov
