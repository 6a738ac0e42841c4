# The key-table check must fail on a document whose tables drift from the
# scene file's keys: a changed row, a missing row, a table shown twice.
#   cmake -DDOC_TOOL=<scene_format_doc> -DDOC=<scene-format.md> -DWORK=<scratch folder> -P ...
cmake_minimum_required(VERSION 3.20)

file(READ ${DOC} text)
string(FIND "${text}" "| `ambient` |" at)
if(at EQUAL -1)
  message(FATAL_ERROR "scene format test: the document has no `ambient` row to change")
endif()
string(REGEX REPLACE "\\| `ambient` \\| [^\n]*\n" "| `ambient` | number | 0.3 |\n" changed "${text}")
string(REGEX REPLACE "\\| `ambient` \\| [^\n]*\n" "" missing "${text}")
string(REPLACE "<!-- scene keys: texture -->" "<!-- scene keys: texture -->\n| x |\n\n<!-- scene keys: texture -->"
               twice "${text}")
file(REMOVE_RECURSE ${WORK})
foreach(kind changed missing twice)
  file(WRITE ${WORK}/${kind}.md "${${kind}}")
  execute_process(COMMAND ${DOC_TOOL} --check ${WORK}/${kind}.md RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(status EQUAL 0)
    message(FATAL_ERROR "scene format test: a document with a ${kind} key table passed the check")
  endif()
endforeach()
