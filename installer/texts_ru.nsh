; The installer's own Russian texts; the pages' texts come from NSIS's
; Russian language file.
!define KOV_SETUP_DESCRIPTION "Установка агента консультанта Kovarentis"

!macro KOV_RUSSIAN_TEXTS
  LangString KovWelcomeText ${LANG_RUSSIAN} \
    "Программа установит агент консультанта Kovarentis для текущего пользователя Windows. Права администратора не нужны.$\r$\n$\r$\nАгент будет запускаться при входе в Windows. Если он уже работает, программа установки закроет его.$\r$\n$\r$\n$_CLICK"
  LangString KovAgentSection ${LANG_RUSSIAN} "Агент консультанта"
  LangString KovAgentSectionDescription ${LANG_RUSSIAN} "Программа агента, Params.ini, ярлык и автозапуск."
  LangString KovForgetCredentialsSection ${LANG_RUSSIAN} "Сохранённый вход"
  LangString KovForgetCredentialsDescription ${LANG_RUSSIAN} \
    "Отметьте, чтобы забыть логин и ключ входа. Иначе они останутся для новой установки."
  LangString KovDisplayName ${LANG_RUSSIAN} "Kovarentis - агент консультанта"
  LangString KovShortcutComment ${LANG_RUSSIAN} "Агент консультанта Kovarentis"
  LangString KovRunAgent ${LANG_RUSSIAN} "Запустить агент Kovarentis"
  LangString KovAgentStillRunning ${LANG_RUSSIAN} \
    "Агент Kovarentis всё ещё работает. Закройте его и нажмите $\"Повтор$\"."
  LangString KovAgentKeptRunning ${LANG_RUSSIAN} "Агент Kovarentis не закрылся."
  LangString KovFolderOutsideProfile ${LANG_RUSSIAN} \
    "Выберите папку внутри папки пользователя ($PROFILE): в другую папку агент могут подменить другие пользователи компьютера."
!macroend
