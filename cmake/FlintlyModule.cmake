# flintly_test(NAME <name> SOURCES <files...> LIBS <targets...> [GUI] [OWN_DISPLAY] [WEBENGINE]
#              [LAUNCHER <command...>])
# One GoogleTest executable registered with ctest (run through LAUNCHER when given, which
# gets the executable as its last argument). Tests never touch the user's
# configuration: each runs with its own XDG folders (see tests/support).
# GUI tests need an X server (the test command runs ctest under xvfb-run); the others
# use the offscreen platform so they run anywhere. OWN_DISPLAY gives a GUI test an X
# server of its own, for tests that change the desktop (a compositor, say).
function(flintly_test)
  cmake_parse_arguments(T "GUI;OWN_DISPLAY;WEBENGINE" "NAME;TIMEOUT" "SOURCES;LIBS;LAUNCHER" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  if(T_GUI OR T_WEBENGINE)
    set(main flintly_test_main_gui)
  else()
    set(main flintly_test_main)
  endif()
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${main} GTest::gtest GTest::gmock)
  if(T_LAUNCHER)
    add_test(NAME ${T_NAME} COMMAND ${T_LAUNCHER} $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  set(env "QT_QPA_PLATFORM=offscreen")
  if(T_GUI)
    set(env "QT_QPA_PLATFORM=xcb")
  endif()
  if(T_OWN_DISPLAY)
    list(APPEND env "FLINTLY_TEST_OWN_DISPLAY=1")
  endif()
  if(T_WEBENGINE)
    list(APPEND env "QTWEBENGINE_DISABLE_SANDBOX=1" "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
  if(FLINTLY_SANITIZE AND T_WEBENGINE)
    # Chromium inside Qt WebEngine does not run under the sanitizers: these tests are
    # neither built nor run there (the normal build runs them).
    set_target_properties(${T_NAME} PROPERTIES EXCLUDE_FROM_ALL TRUE)
    set_tests_properties(${T_NAME} PROPERTIES DISABLED TRUE)
  endif()
endfunction()
