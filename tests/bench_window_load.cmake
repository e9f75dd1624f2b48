# The window program's load against its floor in a real tree view: a Windows
# program (not a test), run under Wine by bench/window-load.sh.
if(WIN32)
  add_executable(window_load_bench ${CMAKE_SOURCE_DIR}/bench/window_load_bench.cpp)
  target_link_libraries(window_load_bench PRIVATE kivra_win32 kivra_genatoms)
  target_link_options(window_load_bench PRIVATE -static)
  kivra_copy_atom_def(window_load_bench)
endif()
