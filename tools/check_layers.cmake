# The module's folders stand in layers: a folder may include its own headers,
# the host's (host/) and those of the folders below it, never one above it
# or beside it. Run as
#   cmake -DROOT=<source folder> [-DGRAPH=ON] -P tools/check_layers.cmake
# it fails, naming the file and the line, on the first include that breaks
# the order; with GRAPH=ON it prints which folder includes which.
#
# Module code never includes the host program (app/), the host's own
# libraries (hostlib/ and its folders: the module sees the host only through
# host/) or the tests (tests/). Besides host/ it may include the folders
# that the module and the host share (wholefile/: whole-file writes).
#
# Tests (*_test.cpp; their helpers live in tests/support/) are
# held to the order only with GRAPH=ON's listing: they drive the whole module
# and may reach any folder.

cmake_minimum_required(VERSION 3.20)

set(layers base geometry texture scene preview plugin)
set(below_base "")
set(below_geometry base)
set(below_texture base)
set(below_scene base geometry texture)
set(below_preview base geometry texture scene)
set(below_plugin base geometry texture scene preview)
set(outside app hostlib tests core oku vy win32)
set(shared host wholefile)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source folder> -P check_layers.cmake")
endif()

set(faults 0)
foreach(layer ${layers})
  file(GLOB files ${ROOT}/${layer}/*.cpp ${ROOT}/${layer}/*.h)
  set(seen_src "")
  set(seen_test "")
  foreach(file ${files})
    get_filename_component(name ${file} NAME)
    set(test OFF)
    if(name MATCHES "_test\\.cpp$")
      set(test ON)
    endif()
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${lines})
      if(NOT line MATCHES "include[ \t]*[\"<]([a-z_]+)/")
        continue()
      endif()
      set(target ${CMAKE_MATCH_1})
      if(NOT test AND target IN_LIST outside)
        message("layers: ${layer}/${name}: ${line} - module code may include only module folders, host/ and wholefile/")
        math(EXPR faults "${faults} + 1")
        continue()
      endif()
      if(target IN_LIST shared OR NOT target IN_LIST layers OR target STREQUAL layer)
        continue()
      endif()
      if(test)
        list(APPEND seen_test ${target})
      else()
        list(APPEND seen_src ${target})
        if(NOT target IN_LIST below_${layer})
          message("layers: ${layer}/${name}: ${line} - ${layer}/ may include only ${below_${layer}} and host/")
          math(EXPR faults "${faults} + 1")
        endif()
      endif()
    endforeach()
  endforeach()
  if(GRAPH)
    list(REMOVE_DUPLICATES seen_src)
    list(REMOVE_DUPLICATES seen_test)
    list(SORT seen_src)
    list(SORT seen_test)
    string(REPLACE ";" ", " seen_src "${seen_src}")
    string(REPLACE ";" ", " seen_test "${seen_test}")
    message(STATUS "${layer} -> ${seen_src}    (tests: ${seen_test})")
  endif()
endforeach()

# The shared folders stand below everything: wholefile/ includes only itself
# (and the standard library and POSIX); its tests may use tests/support/.
file(GLOB files ${ROOT}/wholefile/*.cpp ${ROOT}/wholefile/*.h)
list(FILTER files EXCLUDE REGEX "_test\\.cpp$")
foreach(file ${files})
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${lines})
    if(NOT line MATCHES "include[ \t]*\"wholefile/")
      get_filename_component(name ${file} NAME)
      message("layers: wholefile/${name}: ${line} - wholefile/ may include only itself")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()

if(faults GREATER 0)
  message(FATAL_ERROR "${faults} include(s) against the layer order")
endif()
