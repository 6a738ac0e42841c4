# The install test: `cmake --install` of the build folder BUILD into a
# scratch prefix, then the installed program, started from another folder
# through its link in bin/, saves and (when POV-Ray is there) renders a scene;
# and a staged install (DESTDIR) names the final prefix in its files.
# cmake -DBUILD=... -DSCENE=... -DRENDER=<povray or NOTFOUND> -P check_install.cmake
set(root ${BUILD}/install-test)
file(REMOVE_RECURSE ${root})
file(MAKE_DIRECTORY ${root}/elsewhere)
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                  WORKING_DIRECTORY ${root}/elsewhere)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${status}):\n${out}${err}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${root}/prefix)
set(program ${root}/prefix/bin/brightfold)
set(clean ${CMAKE_COMMAND} -E env --unset=BRIGHTFOLD_REGISTRY --unset=BRIGHTFOLD_MODULE)
run(${clean} ${program} save ${SCENE} scene.pov)
if(RENDER)
  run(${clean} ${program} render ${SCENE} picture.png --width 32 --height 24)
endif()
if(NOT EXISTS ${root}/elsewhere/scene.pov OR (RENDER AND NOT EXISTS ${root}/elsewhere/picture.png))
  message(FATAL_ERROR "the installed program wrote nothing in ${root}/elsewhere")
endif()
if(NOT EXISTS ${root}/prefix/share/man/man1/brightfold.1)
  message(FATAL_ERROR "no man page under ${root}/prefix")
endif()

run(${CMAKE_COMMAND} -E env DESTDIR=${root}/stage ${CMAKE_COMMAND} --install ${BUILD} --prefix /opt/bf)
file(READ ${root}/stage/opt/bf/lib/brightfold/etc/registry.reg registry)
if(NOT registry MATCHES "\"Home\"=\"/opt/bf/lib/brightfold\"" OR NOT IS_SYMLINK ${root}/stage/opt/bf/bin/brightfold)
  message(FATAL_ERROR "the staged install does not name its final place:\n${registry}")
endif()
file(REMOVE_RECURSE ${root})
