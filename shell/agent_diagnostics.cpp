#include "shell/agent_diagnostics.h"

#include <optional>

#include "core/diagnostic_lines.h"

namespace kov {
namespace {

constexpr char kAgentVersion[] = KOV_AGENT_VERSION;
constexpr DWORD kEndFlushWaitMs = 1000;

std::shared_ptr<DiagnosticFile> OpenIfWanted(const AgentSettings& settings) {
    if (settings.diagnosticLog == 0) return nullptr;
    const std::optional<WideString> path = DiagnosticFilePath();
    return path ? DiagnosticFile::Open(*path) : nullptr;
}

std::shared_ptr<DiagnosticLog> LogOf(const std::shared_ptr<DiagnosticFile>& file) {
    if (file) return file;
    return std::make_shared<NoDiagnosticLog>();
}

}  // namespace

AgentDiagnostics::AgentDiagnostics(const AgentSettings& settings)
    : file_(OpenIfWanted(settings)), log_(LogOf(file_)) {
    log_->Write(StartLine(kAgentVersion, settings));
}

AgentDiagnostics::~AgentDiagnostics() {
    log_->Write(EndLine(kAgentVersion));
    if (file_) file_->Flush(kEndFlushWaitMs);
}

}  // namespace kov
