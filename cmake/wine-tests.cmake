# Windows test executables run under Wine through CTest. One throwaway Wine
# environment (prefix, Russian locale, Xvfb display, persistent wineserver) is
# set up by a fixture before the first Wine test and torn down after the last.
set(KOV_WINE_STATE ${CMAKE_BINARY_DIR}/wine-env)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/wine/run.sh ${KOV_WINE_STATE})

add_test(NAME wine.env.start COMMAND ${PROJECT_SOURCE_DIR}/tools/wine/env.sh start ${KOV_WINE_STATE} ${CMAKE_SYSTEM_PROCESSOR})
add_test(NAME wine.env.stop COMMAND ${PROJECT_SOURCE_DIR}/tools/wine/env.sh stop ${KOV_WINE_STATE})
set_tests_properties(wine.env.start PROPERTIES FIXTURES_SETUP WineEnv TIMEOUT 300)
set_tests_properties(wine.env.stop PROPERTIES FIXTURES_CLEANUP WineEnv)

# A second environment with an English locale (ANSI code page 1252), where the
# journeys that show texts run again.
set(KOV_WINE_STATE_EN ${CMAKE_BINARY_DIR}/wine-env-en)
add_test(NAME wine.env.en.start COMMAND ${PROJECT_SOURCE_DIR}/tools/wine/env.sh start ${KOV_WINE_STATE_EN} ${CMAKE_SYSTEM_PROCESSOR} en_US)
add_test(NAME wine.env.en.stop COMMAND ${PROJECT_SOURCE_DIR}/tools/wine/env.sh stop ${KOV_WINE_STATE_EN})
set_tests_properties(wine.env.en.start PROPERTIES FIXTURES_SETUP WineEnvEn TIMEOUT 300)
set_tests_properties(wine.env.en.stop PROPERTIES FIXTURES_CLEANUP WineEnvEn)

# And one at 150 % (144 DPI), for the icons and menus drawn at that size.
set(KOV_WINE_STATE_HIDPI ${CMAKE_BINARY_DIR}/wine-env-hidpi)
add_test(NAME wine.env.hidpi.start COMMAND ${PROJECT_SOURCE_DIR}/tools/wine/env.sh start ${KOV_WINE_STATE_HIDPI} ${CMAKE_SYSTEM_PROCESSOR} ru_RU 144)
add_test(NAME wine.env.hidpi.stop COMMAND ${PROJECT_SOURCE_DIR}/tools/wine/env.sh stop ${KOV_WINE_STATE_HIDPI})
set_tests_properties(wine.env.hidpi.start PROPERTIES FIXTURES_SETUP WineEnvHiDpi TIMEOUT 300)
set_tests_properties(wine.env.hidpi.stop PROPERTIES FIXTURES_CLEANUP WineEnvHiDpi)

# kov_add_wine_test(<name> <target> [FIXTURES f...] [ARGS a...] [TIMEOUT s])
function(kov_add_wine_test name target)
  cmake_parse_arguments(W "" "TIMEOUT" "FIXTURES;ARGS" ${ARGN})
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${target} ${W_ARGS})
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED "WineEnv;${W_FIXTURES}"
    RESOURCE_LOCK wine-desktop
    TIMEOUT ${W_TIMEOUT})
endfunction()
