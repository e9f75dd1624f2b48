# kivra-dump end to end. Natively: files written by ffmpeg at test time
# (skipped with a message when ffmpeg is absent) and the command line. Under
# Wine: the Windows console build on the bundled sample.
set(KIVRA_SAMPLE ${CMAKE_SOURCE_DIR}/samples/sample.mp4)
if(NOT WIN32)
  add_executable(kivra_dump_tests ${CMAKE_CURRENT_SOURCE_DIR}/dump/kivra_dump_test.cpp)
  target_link_libraries(kivra_dump_tests PRIVATE ${KIVRA_GTEST})
  target_compile_definitions(kivra_dump_tests PRIVATE
    KIVRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}" KIVRA_DUMP="$<TARGET_FILE:kivra-dump>")
  add_dependencies(kivra_dump_tests kivra-dump)
  add_test(NAME kivra_dump COMMAND kivra_dump_tests)
  set_tests_properties(kivra_dump PROPERTIES TIMEOUT 600)
else()
  add_test(NAME kivra_dump_exe_sample COMMAND kivra-dump --no-defs ${KIVRA_SAMPLE})
  set_tests_properties(kivra_dump_exe_sample PROPERTIES
    PASS_REGULAR_EXPRESSION "\n  moov \\(\\+0x00000020:[0-9]+\\[0x[0-9A-F]+\\]\\)\r?\n    mvhd \\(\\+0x00000028:")
  add_test(NAME kivra_dump_exe_missing_file COMMAND kivra-dump ${KIVRA_SAMPLE}.missing)
  set_tests_properties(kivra_dump_exe_missing_file PROPERTIES WILL_FAIL TRUE)
  # The report and the JSON of the Windows build: a whole file walks
  # cleanly, a cut copy reports the chain of atoms the cut goes through.
  add_test(NAME kivra_dump_exe_check_clean COMMAND kivra-dump --no-defs --quiet ${KIVRA_SAMPLE})
  set_tests_properties(kivra_dump_exe_check_clean PROPERTIES
    PASS_REGULAR_EXPRESSION "^[^\n]*sample\.mp4: clean\r?\n$")
  set(KIVRA_CUT_SAMPLE ${CMAKE_SOURCE_DIR}/fuzz/corpus/fuzz_atom_walk/sample-head-cut)
  add_test(NAME kivra_dump_exe_check_cut COMMAND kivra-dump --no-defs --quiet ${KIVRA_CUT_SAMPLE})
  set_tests_properties(kivra_dump_exe_check_cut PROPERTIES
    PASS_REGULAR_EXPRESSION "0x00000020: problem: 'moov' is cut short by the end of the file: its size is 1877 bytes, 568 are there \\[cut-short\\].*: 6 problems, 0 notes")
  add_test(NAME kivra_dump_exe_json COMMAND kivra-dump --no-defs --json ${KIVRA_SAMPLE})
  set_tests_properties(kivra_dump_exe_json PROPERTIES
    PASS_REGULAR_EXPRESSION "\n\\{\"type\":\"moov\",\"offset\":32,\"size\":1877,\"payloadOffset\":40,\"payloadSize\":1869,")
endif()
