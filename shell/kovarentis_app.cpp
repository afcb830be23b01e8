#include "shell/kovarentis_app.h"

#include <windows.h>

#include <optional>
#include <string>

#include "core/texts.h"
#include "net/installer_folder.h"
#include "winsupport/wide_text.h"
#include "shell/kovarentis_dlg.h"
#include "shell/registry_profile_store.h"
#include "shell/res/resource.h"
#include "shell/single_instance.h"
#include "shell/system_facts.h"

namespace kov {
namespace {

// Caption of the hidden main window, by which a second start finds the agent.
const char* const kSiteCaption = KOV_SITE_CAPTION;
constexpr LANGID kRussian = 1049;
// Whoever owns it is the session's agent.
constexpr wchar_t kAgentMutexName[] = L"Local\\Kovarentis Consultant Agent";
// How long a second start waits for an agent that is still starting to show
// its window, or for one that is ending to let the role go.
constexpr DWORD kHandOverWaitMs = 10000;

// The application name of the registry key when the executable's own path
// cannot be had.
const char* const kDefaultApplicationName = "Kovarentis";
// Beside the credentials' section "App": one value per server that has once
// shown a certificate Windows trusts.
const char* const kTrustedServersSection = "TrustedServers";

// UTF-8, at any length and with any characters in its folders; "" when
// Windows cannot give it.
std::string ExecutablePath() {
    const std::optional<WideString> path = ModuleFilePath(nullptr);
    return path ? Utf8FromWide(*path) : std::string();
}

// A running agent gets the second start's message and comes forward; true
// when there was one.
bool HandOverToRunningAgent() {
    const HWND running = ::FindWindowA(nullptr, kSiteCaption);
    if (!running) return false;
    ::PostMessageA(running, WM_ACTIVATE_AGENT, 0, 0);
    ::SetForegroundWindow(running);
    return true;
}

}  // namespace

bool CKovarentisApp::InitInstance() {
    // A second start touches neither the registry nor "Params.ini".
    const AgentRole role = AgentRole::Claim(kAgentMutexName, &HandOverToRunningAgent, kHandOverWaitMs);
    if (role.outcome() != AgentRole::Outcome::Agent) return false;
    RemoveLeftInstaller();
    // The shell then attributes the agent's notifications to its shortcut.
    SetProcessAppUserModelId();

    const std::string executablePath = ExecutablePath();
    // The per-user registry key is the message-box caption, trailing blank included.
    RegistryProfileStore profile(
        kCaption, executablePath.empty() ? kDefaultApplicationName : ApplicationNameOf(executablePath));
    // Before the main window loads its texts and the credentials.
    ::SetThreadLocale(MAKELCID(kRussian, SORT_DEFAULT));
    {
        CKovarentisDlg mainWindow(profile, executablePath,
                                  TrustedServers(profile.SectionPath(kTrustedServersSection)));
        profile.SetDiagnosticLog(mainWindow.Log());
        mainWindow.RunModal();
    }
    return false;
}

}  // namespace kov
