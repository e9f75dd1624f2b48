# End-to-end: kivra.exe under Wine in a virtual display, started on a real
# file and on a missing one, closed with WM_CLOSE, exit code 0. The probe
# finds the window by title, counts the tree's items and posts WM_CLOSE.
if(WIN32 AND TARGET kivra)
  add_executable(app_e2e_probe ${CMAKE_CURRENT_SOURCE_DIR}/e2e/app_probe.cpp)
  target_link_libraries(app_e2e_probe PRIVATE user32 comctl32)
  target_link_options(app_e2e_probe PRIVATE -static)
  add_test(NAME app_e2e
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/app_e2e.sh
            $<TARGET_FILE:kivra> $<TARGET_FILE:app_e2e_probe>
            ${CMAKE_SOURCE_DIR}/samples/sample.mp4)
  set_tests_properties(app_e2e PROPERTIES TIMEOUT 300)
endif()
