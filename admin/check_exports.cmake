# cmake -DLIBRARY=path -DNM=nm -P check_exports.cmake
# Fails unless the library's dynamic symbol table defines exactly the three exports.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names "")
foreach(line ${lines})
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected QVAdmin_DoCommand QVAdmin_Initialize QVAdmin_Release)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports of ${LIBRARY}: ${names}; expected ${expected}")
endif()
message(STATUS "exports: ${names}")
