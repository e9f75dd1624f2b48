# Checks that the core library holds only pure computations.
#   cmake -DLIBRARY=libkivra_core.a -DNM=nm -P core_is_pure.cmake
# No platform service may be defined in it (they belong to kivra_platform
# and the test support), and it may import no system function (__imp_
# symbols, which only Windows objects have).
execute_process(COMMAND ${NM} ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
# nm understood: the core must at least define its lookup and refer to the heap.
if(NOT symbols MATCHES "[TtW] _?_Z[0-9]+AddAtomDescriptions")
  message(FATAL_ERROR "AddAtomDescriptions not found in ${LIBRARY}: nm output not understood")
endif()
if(NOT symbols MATCHES "U _?_Z[0-9]+HeapAllocBlock")
  message(FATAL_ERROR "no reference to HeapAllocBlock in ${LIBRARY}: nm output not understood")
endif()
set(services HeapAllocBlock HeapFreeBlock ProcessHeapAlloc ProcessHeapFree
    SetHeapFailureCountdown PlatformFileReadService CharStepPlatform
    CharStepSingleByte CharStepShiftJis GetExecutablePath ExecutablePathSeparator)
foreach(service ${services})
  if(symbols MATCHES "[TtWDdBbRr] _?_Z[0-9]+${service}")
    message(FATAL_ERROR "${LIBRARY} defines ${service}, a platform service")
  endif()
endforeach()
if(symbols MATCHES "U (__imp_[A-Za-z0-9_@]+)")
  message(FATAL_ERROR "${LIBRARY} calls the system function ${CMAKE_MATCH_1}")
endif()
message(STATUS "${LIBRARY}: no platform service, no system import")
