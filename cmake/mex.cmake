# mextk_add_mex(NAME name SOURCES gateway.cpp... LIBS core_lib... [HELP file.m])
#
# Builds one gateway source for every host found:
#   - the test host:  ${CMAKE_BINARY_DIR}/testhost/<name>.mexa64
#   - GNU Octave:     ${CMAKE_BINARY_DIR}/octave/<name>.mex (with the adapter)
#   - MATLAB, when CMake finds it (-DMatlab_ROOT_DIR=...): matlab_add_mex.
# Every MEX file exports mexFunction and nothing else.

set(MEXTK_EXPORT_MAP ${CMAKE_SOURCE_DIR}/host/mex_exports.map)
set(MEXTK_TESTHOST_DIR ${CMAKE_BINARY_DIR}/testhost)
set(MEXTK_OCTAVE_DIR ${CMAKE_BINARY_DIR}/octave)

if(MEXTK_OCTAVE)
  find_program(MKOCTFILE NAMES mkoctfile)
  if(NOT MKOCTFILE)
    message(FATAL_ERROR "mkoctfile not found: install liboctave-dev, or configure with -DMEXTK_OCTAVE=OFF")
  endif()
  execute_process(COMMAND ${MKOCTFILE} -p OCTINCLUDEDIR OUTPUT_VARIABLE OCT_INCLUDEDIR
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${MKOCTFILE} -p OCTLIBDIR OUTPUT_VARIABLE OCT_LIBDIR
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  find_program(OCTAVE_CLI NAMES octave-cli)
endif()

if(Matlab_ROOT_DIR)
  find_package(Matlab COMPONENTS MX_LIBRARY)
endif()

function(mextk_mex_link_flags target)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${MEXTK_EXPORT_MAP})
  # GNU ld (Linux) also takes the export list; elsewhere hidden visibility
  # alone keeps mexFunction the only export.  Undefined symbols are refused,
  # except in a fuzzed MEX file, which takes the sanitizer and libFuzzer
  # entry points from the fuzzer that loads it.
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    target_link_options(${target} PRIVATE "LINKER:--version-script=${MEXTK_EXPORT_MAP}")
    if(NOT MEXTK_FUZZ)
      target_link_options(${target} PRIVATE "LINKER:--no-undefined")
    endif()
  endif()
endfunction()

function(mextk_add_mex)
  cmake_parse_arguments(M "" "NAME;HELP" "SOURCES;LIBS" ${ARGN})

  if(MEXTK_TESTHOST)
    add_library(${M_NAME}_testhost MODULE ${M_SOURCES})
    target_link_libraries(${M_NAME}_testhost PRIVATE mex_api ${M_LIBS} mextk_testhost)
    mextk_mex_link_flags(${M_NAME}_testhost)
    set_target_properties(${M_NAME}_testhost PROPERTIES
      OUTPUT_NAME ${M_NAME} SUFFIX ".mexa64"
      LIBRARY_OUTPUT_DIRECTORY ${MEXTK_TESTHOST_DIR})
  endif()

  if(MEXTK_OCTAVE)
    add_library(${M_NAME}_octave MODULE ${M_SOURCES})
    target_link_libraries(${M_NAME}_octave PRIVATE mex_api ${M_LIBS} mextk_octave_adapter)
    target_link_directories(${M_NAME}_octave PRIVATE ${OCT_LIBDIR})
    target_link_libraries(${M_NAME}_octave PRIVATE octinterp octave)
    mextk_mex_link_flags(${M_NAME}_octave)
    set_target_properties(${M_NAME}_octave PROPERTIES
      OUTPUT_NAME ${M_NAME} SUFFIX ".mex"
      LIBRARY_OUTPUT_DIRECTORY ${MEXTK_OCTAVE_DIR})
    if(M_HELP)
      # The help text sits beside the MEX file, so that `help name` works.
      configure_file(${M_HELP} ${MEXTK_OCTAVE_DIR}/${M_NAME}.m COPYONLY)
    endif()
  endif()

  if(Matlab_FOUND)
    set(doc)
    if(M_HELP)
      set(doc DOCUMENTATION ${CMAKE_CURRENT_SOURCE_DIR}/${M_HELP})
    endif()
    matlab_add_mex(NAME ${M_NAME}_matlab SRC ${M_SOURCES} OUTPUT_NAME ${M_NAME} ${doc}
                   LINK_TO ${M_LIBS} R2017b)
    # matlab_add_mex brings MATLAB's own export list (mexFunction and the
    # API version entry MATLAB asks for), so only the visibility is set here.
    target_link_libraries(${M_NAME}_matlab mex_api)
    set_target_properties(${M_NAME}_matlab PROPERTIES
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/matlab)
  endif()
endfunction()
