# Checks kivra.exe's import table and entry point.
#   cmake -DEXE=kivra.exe -DOBJDUMP=objdump -DNM=nm -DWINDRES=windres
#         -DENTRY=KivraStart -DVERSION=0.1.0 -P app_check_exe.cmake
# Imports must come only from the five system DLLs (no C runtime), the PE
# entry point must be our own start-up function, and the resources must hold
# icon group 101 (32x32 and 16x16, 16 colours) and the version record, whose
# file and product version are 0.0.0.4 and whose string ReleaseVersion names
# the release (VERSION, the file VERSION's line). The
# heap must be the product's: no failure countdown of the test builds.
set(allowed KERNEL32.DLL USER32.DLL GDI32.DLL COMCTL32.DLL SHELL32.DLL)

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump -p failed on ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${headers}")
set(seen)
foreach(line ${names})
  string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" dll)
  list(FIND allowed "${dll}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "kivra.exe imports from ${dll}, which is not one of ${allowed}")
  endif()
  list(APPEND seen ${dll})
endforeach()
foreach(required KERNEL32.DLL USER32.DLL)
  list(FIND seen ${required} at)
  if(at EQUAL -1)
    message(FATAL_ERROR "no import from ${required} found: objdump output not understood")
  endif()
endforeach()

execute_process(COMMAND ${OBJDUMP} -f ${EXE} OUTPUT_VARIABLE fileHeader)
if(NOT fileHeader MATCHES "start address 0x0*([0-9a-fA-F]+)")
  message(FATAL_ERROR "no start address in objdump -f output")
endif()
string(TOLOWER "${CMAKE_MATCH_1}" start)

execute_process(COMMAND ${NM} ${EXE} OUTPUT_VARIABLE symbols)
if(NOT symbols MATCHES "(^|\n)0*([0-9a-fA-F]+) T ${ENTRY}\n")
  message(FATAL_ERROR "symbol ${ENTRY} not found in ${EXE}")
endif()
string(TOLOWER "${CMAKE_MATCH_2}" entry)
if(NOT start STREQUAL entry)
  message(FATAL_ERROR "entry point 0x${start} is not ${ENTRY} at 0x${entry}")
endif()
# The heap's own symbol shows that nm listed the program's functions.
if(NOT symbols MATCHES "HeapAllocBlock")
  message(FATAL_ERROR "HeapAllocBlock not found in ${EXE}: nm output not understood")
endif()
if(symbols MATCHES "(SetHeapFailureCountdown|HeapShouldFail|countdownPlusOne)")
  message(FATAL_ERROR "${EXE} holds the test heap's ${CMAKE_MATCH_1}")
endif()
execute_process(COMMAND ${WINDRES} -i ${EXE} -O rc OUTPUT_VARIABLE resources RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "windres could not read the resources of ${EXE}")
endif()
set(expected
  "101 14 /\\* RT_GROUP_ICON \\*/"
  "Has 2 elements"
  "\"\\\\040\\\\040\\\\020\\\\000\", 1, 4,"
  "\"\\\\020\\\\020\\\\020\\\\000\", 1, 4,"
  "FILEVERSION 0, 0, 0, 4"
  "PRODUCTVERSION 0, 0, 0, 4"
  "BLOCK \"041104b0\""
  "VALUE \"Translation\", 0x411, 1200"
  "VALUE \"ReleaseVersion\", \"${VERSION}\"")
foreach(pattern ${expected})
  if(NOT resources MATCHES "${pattern}")
    message(FATAL_ERROR "resources of ${EXE} lack ${pattern}")
  endif()
endforeach()
message(STATUS "imports: ${seen}; entry point ${ENTRY} at 0x${entry}")
