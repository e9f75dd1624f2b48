# Installing and packaging (included by the top-level CMakeLists.txt).
#
# Linux: "cmake --install build/KIND [--prefix DIR]" puts kivra-dump in bin/,
# atom.def in share/kivra/ and the README and licence in share/doc/kivra/.
# kivra-dump looks for atom.def beside itself first, then at the same place
# relative to its own directory (../share/kivra/atom.def).
#
# Windows: "cmake --build --preset win32 --target package" makes
# kivra-<version>-win32.zip in build/win32 with CPack's ZIP generator. The
# zip is flat: kivra.exe, atom.def beside it, kivra-dump.exe, README.txt and
# LICENSE.txt at its top, so that Explorer's "Extract All" gives one folder
# named after the zip that holds them all.
include(GNUInstallDirs)

if(WIN32)
  # README.txt (the README without its build and test sections) and
  # LICENSE.txt, plain text with CR LF line ends.
  set(KIVRA_RELEASE_TEXT_DIR ${CMAKE_BINARY_DIR}/release)
  set(KIVRA_README_TEXT ${KIVRA_RELEASE_TEXT_DIR}/README.txt)
  set(KIVRA_LICENSE_TEXT ${KIVRA_RELEASE_TEXT_DIR}/LICENSE.txt)
  set(KIVRA_TEXT_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/readme_to_text.cmake)
  add_custom_command(OUTPUT ${KIVRA_README_TEXT} ${KIVRA_LICENSE_TEXT}
    COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/README.md -DOUT=${KIVRA_README_TEXT}
            "-DSKIP=Two commands|Tests and benchmarks" -P ${KIVRA_TEXT_SCRIPT}
    COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/LICENSE -DOUT=${KIVRA_LICENSE_TEXT}
            -DPLAIN=ON -P ${KIVRA_TEXT_SCRIPT}
    DEPENDS ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE ${KIVRA_TEXT_SCRIPT}
    COMMENT "Writing README.txt and LICENSE.txt for the release zip" VERBATIM)
  add_custom_target(kivra_release_texts ALL
    DEPENDS ${KIVRA_README_TEXT} ${KIVRA_LICENSE_TEXT})

  install(TARGETS kivra kivra-dump RUNTIME DESTINATION .)
  install(FILES ${KIVRA_ATOM_DEF} ${KIVRA_README_TEXT} ${KIVRA_LICENSE_TEXT} DESTINATION .)

  # The release is the 32-bit product; the 64-bit build only tests.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(KIVRA_RELEASE_ZIP_NAME kivra-${PROJECT_VERSION}-win32)
    set(KIVRA_RELEASE_ZIP ${CMAKE_BINARY_DIR}/${KIVRA_RELEASE_ZIP_NAME}.zip)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_NAME kivra)
    set(CPACK_PACKAGE_VENDOR "kivra developers")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "kivra - MPEG-4 atom structure viewer")
    set(CPACK_PACKAGE_FILE_NAME ${KIVRA_RELEASE_ZIP_NAME})
    set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    # The programs without their debugging information.
    set(CPACK_STRIP_FILES ON)
    include(CPack)
  endif()
else()
  install(TARGETS kivra-dump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${KIVRA_ATOM_DEF} DESTINATION ${CMAKE_INSTALL_DATADIR}/kivra)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Where the installed atom.def lies as seen from the installed kivra-dump:
  # the same under any --prefix.
  file(RELATIVE_PATH KIVRA_INSTALLED_ATOM_DEF ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_FULL_DATADIR}/kivra/atom.def)
  target_compile_definitions(kivra-dump PRIVATE
    KIVRA_INSTALLED_ATOM_DEF="${KIVRA_INSTALLED_ATOM_DEF}")
endif()
