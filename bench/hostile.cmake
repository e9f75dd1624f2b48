# Each hostile file of the hardening tests, loaded as kivra-dump loads it
# (in-memory tree, the real atom.def): milliseconds per load, which must
# stay under a second; the "of_one_second" counter gives the share.
add_executable(hostile_bench ${CMAKE_CURRENT_SOURCE_DIR}/hostile_bench.cpp)
target_link_libraries(hostile_bench PRIVATE kivra_core benchmark::benchmark)
target_compile_definitions(hostile_bench PRIVATE KIVRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
