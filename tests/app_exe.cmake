# kivra.exe imports only from the five system DLLs and starts at its own
# entry function (no C runtime start-up code).
if(WIN32 AND TARGET kivra)
  get_target_property(KIVRA_ENTRY kivra KIVRA_ENTRY_SYMBOL)
  add_test(NAME app_exe_imports_and_entry
    COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:kivra> -DOBJDUMP=${CMAKE_OBJDUMP}
            -DNM=${CMAKE_NM} -DWINDRES=${CMAKE_RC_COMPILER}
            -DENTRY=${KIVRA_ENTRY}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/scripts/app_check_exe.cmake)
endif()
