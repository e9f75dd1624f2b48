# Load + walk + descriptions over generated fragmented files (10^4 and 10^5
# atoms) with a generated definition text of 300 sections: ns per atom.
add_executable(atoms_load_walk_bench ${CMAKE_CURRENT_SOURCE_DIR}/atoms_load_walk_bench.cpp)
target_link_libraries(atoms_load_walk_bench PRIVATE kivra_core kivra_genatoms
                      benchmark::benchmark benchmark::benchmark_main)
