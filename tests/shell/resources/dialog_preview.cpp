// Shows one dialog of Kovarentis.exe as the agent opens it, for screenshots:
//   dialog_preview.exe KOVARENTIS_EXE DIALOG_ID RECT_FILE SECONDS
// The dialog is centred, carries icon 128 and the agent's common-controls
// manifest; its window rectangle "left top width height" goes to RECT_FILE
// once it is shown, and it closes itself after SECONDS.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "shell/res/resource.h"

namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT kReportRect = WM_APP + 1;

struct Preview {
    HMODULE agent;
    const char* rectFile;
    UINT seconds;
};

void Centre(HWND dialog) {
    RECT r;
    ::GetWindowRect(dialog, &r);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
    ::SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void ReportRect(HWND dialog, const char* path) {
    RECT r;
    ::GetWindowRect(dialog, &r);
    if (FILE* out = std::fopen(path, "w")) {
        std::fprintf(out, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        std::fclose(out);
    }
}

INT_PTR CALLBACK PreviewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* preview = reinterpret_cast<const Preview*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        for (WPARAM which : {ICON_BIG, ICON_SMALL}) {
            const int size = ::GetSystemMetrics(which == ICON_BIG ? SM_CXICON : SM_CXSMICON);
            ::SendMessageW(dialog, WM_SETICON, which,
                           reinterpret_cast<LPARAM>(::LoadImageW(preview->agent, MAKEINTRESOURCEW(IDI_ONLINE),
                                                                 IMAGE_ICON, size, size, LR_SHARED)));
        }
        // A fresh sign-in dialog: remember ticked, both fields empty, so "Войти" is off.
        if (::GetDlgItem(dialog, IDC_REMEMBER)) {
            ::CheckDlgButton(dialog, IDC_REMEMBER, BST_CHECKED);
            ::EnableWindow(::GetDlgItem(dialog, IDOK), FALSE);
        }
        Centre(dialog);
        ::SetTimer(dialog, kCloseTimer, preview->seconds * 1000, nullptr);
        ::PostMessageW(dialog, kReportRect, 0, 0);
        return TRUE;
    }
    case kReportRect: {
        const auto* preview = reinterpret_cast<const Preview*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        ReportRect(dialog, preview->rectFile);
        return TRUE;
    }
    case WM_TIMER:
    case WM_CLOSE:
        ::EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) ::EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

// The agent's own manifest, so that controls look as they do in the agent.
HANDLE ActivateAgentManifest(const char* agentPath, ULONG_PTR* cookie) {
    ACTCTXA context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = agentPath;
    context.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE activation = ::CreateActCtxA(&context);
    if (activation != INVALID_HANDLE_VALUE) ::ActivateActCtx(activation, cookie);
    return activation;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: dialog_preview KOVARENTIS_EXE DIALOG_ID RECT_FILE SECONDS\n");
        return 2;
    }
    ULONG_PTR cookie = 0;
    HANDLE activation = ActivateAgentManifest(argv[1], &cookie);
    ::InitCommonControls();
    Preview preview{::LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE),
                    argv[3], static_cast<UINT>(std::atoi(argv[4]))};
    if (!preview.agent) return 1;
    const int id = std::atoi(argv[2]);
    HRSRC found = ::FindResourceA(preview.agent, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    const auto* layout = found ? static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(preview.agent, found)))
                               : nullptr;
    const INT_PTR result = layout ? ::DialogBoxIndirectParamW(preview.agent, layout, nullptr, PreviewProc,
                                                              reinterpret_cast<LPARAM>(&preview))
                                  : -1;
    ::FreeLibrary(preview.agent);
    if (activation != INVALID_HANDLE_VALUE) {
        ::DeactivateActCtx(0, cookie);
        ::ReleaseActCtx(activation);
    }
    return result == -1 ? 1 : 0;
}
