# Walk + descriptions with a 300-section definition text: through the
# definition index, through the line-by-line lookup, and the floor (the same
# items inserted with their texts known in advance), in one run.
add_executable(defs_index_bench ${CMAKE_CURRENT_SOURCE_DIR}/defs_index_bench.cpp)
target_link_libraries(defs_index_bench PRIVATE kivra_core kivra_genatoms benchmark::benchmark)
