# Tests that need an X server.
#
#   tarvex_add_display_test(<name> COMMAND <command> [<arg>...])
#
# Runs the command under its own virtual X server (xvfb-run picks a free
# display number), so each test has a private screen and pointer: real pointer
# motion sent by one test never reaches another running at the same time.

find_program(TARVEX_XVFB_RUN xvfb-run)

function(tarvex_add_display_test name)
  cmake_parse_arguments(DISPLAY_TEST "" "" "COMMAND" ${ARGN})
  if(NOT DISPLAY_TEST_COMMAND)
    message(FATAL_ERROR "tarvex_add_display_test(${name}): no COMMAND given")
  endif()
  if(NOT TARVEX_XVFB_RUN)
    message(FATAL_ERROR "tarvex_add_display_test(${name}): xvfb-run not found (Debian package xvfb)")
  endif()
  add_test(NAME ${name}
    COMMAND ${TARVEX_XVFB_RUN} -a -s "-screen 0 1280x1024x24" ${DISPLAY_TEST_COMMAND})
endfunction()
