# Every atom that kivra shows in real files written by the MP4 writers on this
# host (ffmpeg, GStreamer, heif-enc, avifenc, AtomicParsley, exiftool) gets at
# least one description line from the repository's atom.def. Native build
# only: it runs the writers and kivra-dump on this host. A writer that is not
# installed is left out; skipped when none is installed.
if(NOT WIN32)
  add_test(NAME atomdef_coverage
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/atomdef_coverage.sh
            $<TARGET_FILE:kivra-dump> ${CMAKE_SOURCE_DIR}/atom.def)
  set_tests_properties(atomdef_coverage PROPERTIES SKIP_RETURN_CODE 77)
endif()
