# cmake -DROOT=stage -DNAME=name-version -DFILES=dest|source,... -DTARBALL=out.tar.gz -P make_package.cmake
# Lays the files out under ROOT/NAME and packs that folder into TARBALL.
file(REMOVE_RECURSE ${ROOT})
string(REPLACE "," ";" entries "${FILES}")
foreach(entry ${entries})
  string(REPLACE "|" ";" pair "${entry}")
  list(GET pair 0 destination)
  list(GET pair 1 source)
  get_filename_component(dir ${ROOT}/${NAME}/${destination} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  configure_file(${source} ${ROOT}/${NAME}/${destination} COPYONLY)
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar czf ${TARBALL} ${NAME}
                WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not pack ${TARBALL}")
endif()
