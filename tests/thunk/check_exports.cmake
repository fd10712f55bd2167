# Checks that a shared object defines exactly the dynamic symbols listed in EXPECTED.
# Usage: cmake -DNM=<nm> -DLIBRARY=<file> -DEXPECTED=<a;b;...> -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(found "")
foreach(line ${lines})
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND found ${name})
endforeach()
list(SORT found)
set(expected ${EXPECTED})
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exports of ${LIBRARY}:\n  found:    ${found}\n  expected: ${expected}")
endif()
