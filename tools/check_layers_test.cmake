# The layer check must fail on a planted include against the order: a small
# tree with one bad include per kind is checked, one kind at a time.
#   cmake -DCHECK=<check_layers.cmake> -DWORK=<scratch folder> -P tools/check_layers_test.cmake
cmake_minimum_required(VERSION 3.20)

set(planted
    "base/pov_planted.cpp|#include \"app/commands.h\""
    "geometry/pov_planted.cpp|#include \"hostlib/vy/mesh.h\""
    "texture/pov_planted.h|#include \"oku/placement.h\""
    "scene/pov_planted.cpp|#include \"tests/support/run.h\""
    "base/pov_planted.cpp|#include \"scene/pov_save.h\"")
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/clean/base/pov_ok.cpp "#include \"base/pov_state.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK}/clean -P ${CHECK} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "layers test: a clean tree was refused")
endif()
set(n 0)
foreach(row ${planted})
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 file)
  list(GET row 1 text)
  math(EXPR n "${n} + 1")
  file(WRITE ${WORK}/${n}/${file} "${text}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK}/${n} -P ${CHECK} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(status EQUAL 0)
    message(FATAL_ERROR "layers test: ${file} with ${text} passed the check")
  endif()
endforeach()
