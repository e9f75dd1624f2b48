# kivra-dump.exe run from directories whose path leaves just enough, and not
# enough, room for "atom.def" within MAX_PATH, under Wine.
if(WIN32 AND TARGET kivra-dump)
  add_test(NAME hardening_long_path
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/hardening_long_path.sh
            $<TARGET_FILE:kivra-dump> ${CMAKE_SOURCE_DIR}/atom.def
            ${CMAKE_SOURCE_DIR}/samples/sample.mp4 ${CMAKE_SOURCE_DIR}/tools/wine-run.sh)
  # Two kivra-dump.exe starts: about a minute each where 32-bit code runs emulated.
  set_tests_properties(hardening_long_path PROPERTIES TIMEOUT 900)
endif()
