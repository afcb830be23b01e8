#pragma once
// The diagnostic log of one run of the agent: a file when "Params.ini" sets
// DiagnosticLog to a non-zero number, nothing at all otherwise (no file, no
// thread). Opened with the start line by the main window; the end line and a
// flush bounded to a second when the window goes. Lines written by workers
// that outlive it still reach the file while the process lives.
#include <memory>

#include "core/diagnostic_log.h"
#include "core/settings.h"
#include "winsupport/diagnostic_file.h"

namespace kov {

class AgentDiagnostics {
public:
    explicit AgentDiagnostics(const AgentSettings& settings);
    ~AgentDiagnostics();
    AgentDiagnostics(const AgentDiagnostics&) = delete;
    AgentDiagnostics& operator=(const AgentDiagnostics&) = delete;

    // The file's log, or one that writes nothing; any thread.
    const std::shared_ptr<DiagnosticLog>& Log() const { return log_; }

private:
    const std::shared_ptr<DiagnosticFile> file_;
    const std::shared_ptr<DiagnosticLog> log_;
};

}  // namespace kov
