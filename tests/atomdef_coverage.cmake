# Every atom that kivra shows in real files written by ffmpeg gets at least one
# description line from the repository's atom.def. Native build only: it runs
# ffmpeg and kivra-dump on this host. Skipped when ffmpeg is not installed.
if(NOT WIN32)
  add_test(NAME atomdef_coverage
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/atomdef_coverage.sh
            $<TARGET_FILE:kivra-dump> ${CMAKE_SOURCE_DIR}/atom.def)
  set_tests_properties(atomdef_coverage PROPERTIES SKIP_RETURN_CODE 77)
endif()
