# End-to-end: kivra.exe under Wine in a virtual display, started on a real
# file and on a missing one, checked from outside by the probe, closed with
# WM_CLOSE, exit code 0. The probe uses only messages with plain-value
# arguments, so it need not match kivra's word size: the 32-bit build makes a
# 64-bit probe when the 64-bit MinGW compiler is there, because Wine starts
# 64-bit programs fast even where 32-bit code runs through an emulator.
if(WIN32 AND TARGET kivra AND TARGET kivra-dump)
  set(KIVRA_PROBE_SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/e2e/app_probe.cpp)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    find_program(KIVRA_MINGW64_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)
  endif()
  if(KIVRA_MINGW64_CXX)
    set(KIVRA_PROBE ${CMAKE_CURRENT_BINARY_DIR}/app_e2e_probe64.exe)
    add_custom_command(OUTPUT ${KIVRA_PROBE}
      COMMAND ${KIVRA_MINGW64_CXX} -std=c++17 -O2 -Wall -Wextra -Werror -static
              -o ${KIVRA_PROBE} ${KIVRA_PROBE_SOURCE} -luser32 -lcomctl32
      DEPENDS ${KIVRA_PROBE_SOURCE}
      COMMENT "Building the 64-bit end-to-end probe")
    add_custom_target(app_e2e_probe ALL DEPENDS ${KIVRA_PROBE})
  else()
    add_executable(app_e2e_probe ${KIVRA_PROBE_SOURCE})
    target_link_libraries(app_e2e_probe PRIVATE user32 comctl32)
    target_link_options(app_e2e_probe PRIVATE -static)
    set(KIVRA_PROBE $<TARGET_FILE:app_e2e_probe>)
  endif()
  add_test(NAME app_e2e
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/app_e2e.sh
            $<TARGET_FILE:kivra> ${KIVRA_PROBE} $<TARGET_FILE:kivra-dump>
            ${CMAKE_SOURCE_DIR}/samples/sample.mp4)
  # Three kivra starts and one kivra-dump start, about a minute each where
  # 32-bit code runs emulated.
  set_tests_properties(app_e2e PROPERTIES TIMEOUT 1800)
endif()
