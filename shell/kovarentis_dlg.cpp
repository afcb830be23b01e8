#include "shell/kovarentis_dlg.h"

#include "net/wide_text.h"
#include "shell/dpi.h"
#include "shell/res/resource.h"
#include "shell/texts_loader.h"

namespace kov {
namespace {

// Kept between polls: the poll's thread, on which its exchange runs too. An
// Offline send beside a poll gets a thread that ends after it.
constexpr int kParkedWorkers = 1;

// The online blink, connecting and away blink frames, loaded with the main
// window so that no animation waits for a resource.
constexpr int kFrameIconIds[] = {IDI_ONLINE,       IDI_NEW_MESSAGE,  IDI_CONNECTING_1, IDI_CONNECTING_2,
                                 IDI_CONNECTING_3, IDI_CONNECTING_4, IDI_AWAY};

HICON LoadSharedIcon(int iconId) {
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId));
}

bool IsAgentCommand(UINT id) {
    return (id >= ID_STATUS_ONLINE && id <= ID_CLOSE) || id == ID_OPEN_CONSULT_PAGE;
}

}  // namespace

CKovarentisDlg::CKovarentisDlg(ProfileStore& profile, const std::string& executablePath)
    : Dialog(IDD_MAIN),
      settings_(profile, executablePath, ReadWholeFileByUtf8Path),
      workers_(std::make_shared<WorkerPool>(kParkedWorkers)),
      requester_(std::make_shared<ServiceTransport>()),
      trayIcons_(std::make_unique<TrayIconSet>()),
      texts_(LoadTexts(::GetModuleHandleA(nullptr))),
      windowIcon_(LoadSharedIcon(IDI_ONLINE)),
      platform_(std::make_shared<WindowsPlatform>(workers_)),
      controller_(std::make_unique<AgentController>(platform_, requester_, settings_, texts_)) {
    for (const int iconId : kFrameIconIds) trayIcons_->Get(iconId);
}

// The controller goes first: once it is gone no worker makes a short platform
// call, so the queued work can be dropped before the tray and the menus go.
CKovarentisDlg::~CKovarentisDlg() {
    controller_.reset();
    platform_->Detach();
}

BOOL CKovarentisDlg::OnInitDialog() {
    ::SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowIcon_));
    ::SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(windowIcon_));
    // The template is visible: only a zero size keeps it from ever showing.
    ::MoveWindow(Handle(), 0, 0, 0, 0, FALSE);
    platform_->Attach(*this, Handle());
    controller_->OnInitDialog();
    return TRUE;
}

bool CKovarentisDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_ACTIVATE_AGENT:
        result = controller_->OnActivateAgent();
        return true;
    case WindowsPlatform::kRunQueuedMessage:
        platform_->RunQueued();
        return true;
    case kDpiChangedMessage:
        OnDpiChanged(LOWORD(wParam));
        result = 0;
        return true;
    default:
        return Dialog::OnMessage(message, wParam, lParam, result);
    }
}

// Then the default processing, as for any timer.
bool CKovarentisDlg::OnTimer(UINT_PTR timerId) {
    controller_->OnTimer(static_cast<int>(timerId));
    return false;
}

bool CKovarentisDlg::OnCommand(UINT id, UINT /*notifyCode*/, HWND /*control*/) {
    if (!IsAgentCommand(id)) return false;
    controller_->OnCommand(static_cast<int>(id));
    return true;
}

Menu& CKovarentisDlg::TrayMenu(MenuKind kind) {
    return kind == MenuKind::Main ? static_cast<Menu&>(menus_.mainMenu) : menus_.signedOutMenu;
}

void CKovarentisDlg::BuildMenus() { menus_.BuildMenus(texts_); }

HICON CKovarentisDlg::ResourceIcon(int iconId) { return trayIcons_->Get(iconId); }

// The old set goes only after the tray shows the new icons.
void CKovarentisDlg::OnDpiChanged(UINT dpi) {
    auto icons = std::make_unique<TrayIconSet>(SmallIconSizeForDpi(dpi));
    for (const int iconId : kFrameIconIds) icons->Get(iconId);
    tray_.ReplaceIcons([&](HICON old) {
        const int iconId = trayIcons_->IdOf(old);
        return iconId != 0 ? icons->Get(iconId) : old;
    });
    trayIcons_ = std::move(icons);
}

}  // namespace kov
