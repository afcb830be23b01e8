// Identifiers shared by Kovarentis.rc and the code. Plain macros, because the
// resource compiler reads this file too.
#pragma once

// Strings (language 1049); their compiled-in copies are in core/texts.h, and
// shell/texts_loader.cpp says which entry holds which of the core's texts.
#define IDS_ONLINE              129
#define IDS_OFFLINE             130
#define IDS_AWAY                131
#define IDS_NEW_MESSAGES        132
#define IDS_CLOSE               133
#define IDS_SIGN_OUT            134
#define IDS_ABOUT               135
#define IDS_BAD_LOGIN           136
#define IDS_AUTHORIZATION       137
#define IDS_SIGN_IN             138
#define IDS_UNEXPECTED_ERROR    139
#define IDS_CONNECT_FAILED      140
#define IDS_NOT_SIGNED_IN       141
#define IDS_UPDATE_NOT_AUTHENTIC 142
#define IDS_LOGIN_NOT_REPRESENTABLE 143
#define IDS_NEW_MESSAGES_BALLOON 144
#define IDS_NO_CONNECTION_SINCE 145
#define IDS_OPEN_CONSULT_PAGE   146
#define IDS_TRAY_ICON_HINT      148
#define IDS_TEXT_TOO_LONG       149

// Icons. There are no icons 129, 134, 136 or 139.
#define IDI_ONLINE              128
#define IDI_AWAY                130
#define IDI_OFFLINE             131
#define IDI_CLOSE               132
#define IDI_SIGN_IN_OUT         133
#define IDI_NEW_MESSAGE         135
#define IDI_ABOUT               137
#define IDI_CONNECTING_1        138
#define IDI_CONNECTING_2        140
#define IDI_CONNECTING_3        141
#define IDI_CONNECTING_4        142

// Dialog templates and their controls.
#define IDD_MAIN                102
#define IDD_LOGIN               138
#define IDD_ABOUT               144
#define IDC_LOGIN               1000
#define IDC_PASSWORD            1001
#define IDC_REMEMBER            1002
#define IDC_ABOUT_TEXT          1003

// The new-message sound, resource type "WAVE".
#define IDR_NEW_MESSAGE_SOUND   145

// Tray menu commands (the core's Command, mapped in shell/resource_map.cpp)
// and the main window's own messages.
#define ID_STATUS_ONLINE        300
#define ID_STATUS_AWAY          301
#define ID_STATUS_OFFLINE       302
#define ID_ABOUT                303
#define ID_SIGN_IN_OUT          304
#define ID_CLOSE                305
#define ID_OPEN_CONSULT_PAGE    1024
#define WM_TRAY_NOTIFY          0x8001
// Posted to the running agent's main window by a second start of the program.
#define WM_ACTIVATE_AGENT       3024

// Caption of the hidden main window: a second start finds the running agent by
// it, so it must be unusual and must differ from the message-box caption.
#define KOV_SITE_CAPTION        "Kovarentis Online Consultant Agent"

// The application identity of the agent's process and of the installer's
// shortcut, so that the shell attributes the agent's notifications to it.
#define KOV_APP_USER_MODEL_ID   "Kovarentis.Agent"
