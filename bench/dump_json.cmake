# kivra-dump's JSON output against its text output on a generated file of
# 10^5 movie fragments, with the real atom.def: the JSON must take at most
# 1.5 times as long ("json_over_text" counter, CPU time of the process).
add_executable(dump_json_bench ${CMAKE_CURRENT_SOURCE_DIR}/dump_json_bench.cpp)
target_link_libraries(dump_json_bench PRIVATE kivra_genatoms benchmark::benchmark
                      benchmark::benchmark_main)
target_compile_definitions(dump_json_bench PRIVATE KIVRA_DUMP="$<TARGET_FILE:kivra-dump>")
add_dependencies(dump_json_bench kivra-dump)
