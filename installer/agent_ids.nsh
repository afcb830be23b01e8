; The agent's main-window caption and its Close command, read from the agent's
; own resource header so that installer and agent cannot drift apart.
!define /redef KOV_RESOURCE_H "${__FILEDIR__}/../shell/res/resource.h"
!searchparse /file "${KOV_RESOURCE_H}" "#define KOV_SITE_CAPTION" KOV_SITE_CAPTION_LINE
!searchparse `${KOV_SITE_CAPTION_LINE}` '"' KOV_SITE_CAPTION '"'
!searchparse /file "${KOV_RESOURCE_H}" "#define ID_CLOSE " KOV_ID_CLOSE_TEXT
!define /math KOV_ID_CLOSE ${KOV_ID_CLOSE_TEXT} + 0
; The application identity the agent gives its process; its shortcut carries it too.
!searchparse /file "${KOV_RESOURCE_H}" "#define KOV_APP_USER_MODEL_ID" KOV_APP_ID_LINE
!searchparse `${KOV_APP_ID_LINE}` '"' KOV_APP_USER_MODEL_ID '"'
; Every agent window is a standard dialog.
!define KOV_DIALOG_CLASS "#32770"
