# mextk_add_mex(NAME name SOURCES gateway.cpp... LIBS core_lib... [HELP file.m])
#
# Builds one gateway source for every host found:
#   - MATLAB's libmx/libmex: ${CMAKE_BINARY_DIR}/testhost/<name>.<ext>, ext
#     being MATLAB's MEX extension of the platform (mexa64, mexw64, ...): the
#     files a release ships, which the tests load into the test host (whose
#     libmx and libmex stand in for MATLAB's).  They carry their own C++
#     runtime (see mextk_matlab_mex_flags).
#   - GNU Octave:     ${CMAKE_BINARY_DIR}/octave/<name>.mex (with the adapter)
#   - MATLAB, when CMake finds it (-DMatlab_ROOT_DIR=...): matlab_add_mex.
# Every MEX file exports mexFunction and nothing else.

set(MEXTK_EXPORT_MAP ${CMAKE_SOURCE_DIR}/host/mex_exports.map)
set(MEXTK_TESTHOST_DIR ${CMAKE_BINARY_DIR}/testhost)
if(WIN32)
  set(MEXTK_MEX_EXTENSION mexw64)
elseif(APPLE)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "arm64|aarch64")
    set(MEXTK_MEX_EXTENSION mexmaca64)
  else()
    set(MEXTK_MEX_EXTENSION mexmaci64)
  endif()
else()
  # MATLAB's Linux extension (there is no MATLAB for ARM Linux, whose test
  # builds use it too).
  set(MEXTK_MEX_EXTENSION mexa64)
endif()
# The folder as the test programs see it: a Windows program run by Wine sees
# the Unix file system as drive Z:.
set(MEXTK_TESTHOST_MEX_DIR_SEEN ${MEXTK_TESTHOST_DIR})
if(WIN32 AND CMAKE_HOST_UNIX)
  set(MEXTK_TESTHOST_MEX_DIR_SEEN "Z:${MEXTK_TESTHOST_DIR}")
endif()
# Or MEX files built elsewhere: the test programs then load those, and
# neither build nor wait for this build's (tests/shipped/old_glibc: files
# built on a newer system, loaded on an older one).
set(MEXTK_LOAD_MEX_DIR "" CACHE PATH "Folder whose MEX files the test programs load instead of this build's")
if(MEXTK_LOAD_MEX_DIR)
  set(MEXTK_TESTHOST_MEX_DIR_SEEN ${MEXTK_LOAD_MEX_DIR})
endif()
# The shipped MEX files link the C++ runtime in (and hide it), so that they
# need nothing beyond the host's libraries and the C library.  The sanitizer
# and fuzzer builds, which are never shipped, keep the compiler's shared
# runtime, as their own runtimes expect.
if(MEXTK_SANITIZE OR MEXTK_FUZZ)
  set(MEXTK_STATIC_RUNTIME OFF)
else()
  set(MEXTK_STATIC_RUNTIME ON)
endif()
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

# A MEX file for MATLAB's libmx and libmex (and the test host's).
function(mextk_matlab_mex_flags target)
  target_link_libraries(${target} PRIVATE mex_api mextk_libmx mextk_libmex)
  mextk_mex_link_flags(${target})
  set_target_properties(${target} PROPERTIES
    SUFFIX ".${MEXTK_MEX_EXTENSION}"
    LIBRARY_OUTPUT_DIRECTORY ${MEXTK_TESTHOST_DIR}
    # No search path into this tree: the host has loaded libmx and libmex.
    SKIP_BUILD_RPATH ON)
  if(MEXTK_STATIC_RUNTIME)
    # A shipped file carries no debug information (the static runtimes
    # bring theirs: on Windows it was more than half of each file); a Debug
    # or RelWithDebInfo build keeps it for the debugger.  An ELF file keeps
    # its symbol table (tests/shipped/check_mex_files reads it); a PE image
    # loses its COFF symbol table too, which the format deprecates in images
    # as debug information.
    if(WIN32)
      set(strip "LINKER:--strip-all")
    else()
      set(strip "LINKER:--strip-debug")
    endif()
    target_link_options(${target} PRIVATE $<$<OR:$<CONFIG:Release>,$<CONFIG:MinSizeRel>>:${strip}>)
    if(WIN32)
      # -static also takes the threads library (libwinpthread) in, which
      # -static-libgcc -static-libstdc++ alone leave as a DLL import.
      target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ "LINKER:--gc-sections")
    else()
      # Unused sections of the runtime go, and with them the imports of C
      # library functions they alone use (the newest the runtime asks for).
      target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ "LINKER:--exclude-libs,ALL"
                          "LINKER:--gc-sections")
      if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
        # What the runtime asks of a newer glibc, given from an older one.
        target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/host/old_glibc.cpp)
        # The runtime's pthread_once and __pthread_key_create are in
        # libpthread.so.0 before glibc 2.34: the file asks for it, not
        # trusting the host to have loaded it (from 2.34 on it is an empty
        # stub).  By its file name: -lpthread finds an empty libpthread.a.
        target_link_libraries(${target} PRIVATE "-Wl,--push-state,--no-as-needed" "-l:libpthread.so.0"
                              "-Wl,--pop-state")
      endif()
    endif()
  endif()
endfunction()

function(mextk_add_mex)
  cmake_parse_arguments(M "" "NAME;HELP" "SOURCES;LIBS" ${ARGN})

  if(MEXTK_TESTHOST)
    add_library(${M_NAME}_testhost MODULE ${M_SOURCES})
    target_link_libraries(${M_NAME}_testhost PRIVATE ${M_LIBS})
    mextk_matlab_mex_flags(${M_NAME}_testhost)
    set_target_properties(${M_NAME}_testhost PROPERTIES OUTPUT_NAME ${M_NAME})
    if(M_HELP)
      # The help text beside the file, as a release ships it.
      configure_file(${M_HELP} ${MEXTK_TESTHOST_DIR}/${M_NAME}.m COPYONLY)
    endif()
  endif()

  if(MEXTK_OCTAVE)
    add_library(${M_NAME}_octave MODULE ${M_SOURCES})
    target_link_libraries(${M_NAME}_octave PRIVATE ${M_LIBS} mextk_octave_adapter)
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
