# Authenticode signing of the agent, its installer and uninstaller.
#
# KOV_SIGNING_CERT / KOV_SIGNING_KEY name the publisher certificate (PEM, with
# the chain to its authority when there is one) and its private key (PEM).
# Without them the build makes a throwaway self-signed test publisher in
# <build>/signing, so any machine builds and tests with no secret; such a build
# only updates itself from installers made by the same build folder.
find_program(KOV_OSSLSIGNCODE osslsigncode REQUIRED)
set(KOV_SIGNING_CERT "" CACHE FILEPATH "Publisher certificate (PEM) that signs the agent and installer")
set(KOV_SIGNING_KEY "" CACHE FILEPATH "Private key (PEM) of KOV_SIGNING_CERT")

if(KOV_SIGNING_CERT AND KOV_SIGNING_KEY)
  set(KOV_PUBLISHER_CERT ${KOV_SIGNING_CERT})
  set(KOV_PUBLISHER_KEY ${KOV_SIGNING_KEY})
elseif(KOV_SIGNING_CERT OR KOV_SIGNING_KEY)
  message(FATAL_ERROR "KOV_SIGNING_CERT and KOV_SIGNING_KEY are given together")
else()
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/tools/signing/make-test-publisher.sh ${CMAKE_BINARY_DIR}/signing
    COMMAND_ERROR_IS_FATAL ANY)
  set(KOV_PUBLISHER_CERT ${CMAKE_BINARY_DIR}/signing/publisher.pem)
  set(KOV_PUBLISHER_KEY ${CMAKE_BINARY_DIR}/signing/publisher.key)
endif()
set(KOV_PUBLISHER_CERT ${KOV_PUBLISHER_CERT} CACHE INTERNAL "publisher certificate in use")
set(KOV_PUBLISHER_KEY ${KOV_PUBLISHER_KEY} CACHE INTERNAL "publisher key in use")
set(KOV_SIGN_COMMAND ${PROJECT_SOURCE_DIR}/tools/signing/sign.sh CACHE INTERNAL "signing script")

# Signs a target's file after every link.
function(kov_sign_target target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${KOV_SIGN_COMMAND} ${KOV_PUBLISHER_CERT} ${KOV_PUBLISHER_KEY} $<TARGET_FILE:${target}>
    COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
    VERBATIM)
endfunction()
