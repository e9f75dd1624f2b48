# The binary view's paint plan for a 1 KiB and a 1 GiB view: the same rows
# are in view, so the cost must be the same whatever the size.
add_executable(binedit_paint_bench ${CMAKE_CURRENT_SOURCE_DIR}/binedit_paint_bench.cpp)
target_link_libraries(binedit_paint_bench PRIVATE kivra_core
                      benchmark::benchmark benchmark::benchmark_main)
