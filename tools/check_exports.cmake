# The loadable module exports its two entry points and nothing else: the
# host looks up dll_init and dll_term, and any other symbol it showed could
# bind to, or be bound by, a symbol of the same name in another library.
# The whole-file writer (wf::) is not in it but taken from the shared
# library the host uses too: a copy of its own would make a second clean-up
# list and a second signal handler chain.
#   cmake -DMODULE=<path of povexport.so> -DNM=<nm> -P tools/check_exports.cmake
cmake_minimum_required(VERSION 3.20)

set(expected dll_init dll_term)

execute_process(COMMAND ${NM} -D --defined-only ${MODULE} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "exports: ${NM} could not read ${MODULE}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names "")
foreach(line ${lines})
  if(line MATCHES "([^ ]+)$")
    list(APPEND names ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT names)
if(NOT names STREQUAL expected)
  string(REPLACE ";" " " names "${names}")
  message(FATAL_ERROR "exports: ${MODULE} exports ${names}; expected only ${expected}")
endif()

execute_process(COMMAND ${NM} -C ${MODULE} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
execute_process(COMMAND ${NM} -C -D --undefined-only ${MODULE} OUTPUT_VARIABLE imported)
if(NOT status EQUAL 0 OR listing MATCHES " [tT] wf::" OR NOT imported MATCHES " U wf::open_beside")
  message(FATAL_ERROR "exports: ${MODULE} has its own copy of the whole-file writer (wf::)")
endif()
