# The Octave package: ${CMAKE_BINARY_DIR}/<name>-<version>.tar.gz, made by the
# default build.  `pkg install` of it compiles the three functions with the
# user's own mkoctfile (package/Makefile) and installs their help files.
set(MEXTK_PACKAGE_NAME pixelgraph)
string(TIMESTAMP MEXTK_PACKAGE_DATE "%Y-%m-%d" UTC)
set(MEXTK_PACKAGE_TARBALL ${CMAKE_BINARY_DIR}/${MEXTK_PACKAGE_NAME}-${PROJECT_VERSION}.tar.gz)
configure_file(${CMAKE_SOURCE_DIR}/package/DESCRIPTION.in ${CMAKE_BINARY_DIR}/package/DESCRIPTION @ONLY)

# What goes where in the package, as "destination|source" pairs.
set(pkg_files
  "DESCRIPTION|${CMAKE_BINARY_DIR}/package/DESCRIPTION"
  "COPYING|${CMAKE_SOURCE_DIR}/LICENSE"
  "NEWS|${CMAKE_SOURCE_DIR}/CHANGELOG.md"
  "post_install.m|${CMAKE_SOURCE_DIR}/package/post_install.m"
  "src/Makefile|${CMAKE_SOURCE_DIR}/package/Makefile"
  "src/host/mex_api.h|${CMAKE_SOURCE_DIR}/host/mex_api.h"
  "src/host/mex_exports.map|${CMAKE_SOURCE_DIR}/host/mex_exports.map"
  "src/host/octave/octave_adapter.cpp|${CMAKE_SOURCE_DIR}/host/octave/octave_adapter.cpp")
# The toolbox: the jobs a user calls in inst/, their helpers in inst/private/
# (callable by the jobs only, never on the user's path).
foreach(sub "" "private/")
  file(GLOB jobs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/toolbox/${sub}*.m)
  foreach(source ${jobs})
    get_filename_component(base ${source} NAME)
    list(APPEND pkg_files "inst/${sub}${base}|${source}")
  endforeach()
endforeach()
foreach(fn pallant kestrow modrick crexp)
  if(NOT fn STREQUAL "crexp")
    list(APPEND pkg_files "inst/${fn}.m|${CMAKE_SOURCE_DIR}/${fn}/${fn}.m")
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${fn}/*.cpp ${CMAKE_SOURCE_DIR}/${fn}/*.h)
  foreach(source ${sources})
    get_filename_component(base ${source} NAME)
    list(APPEND pkg_files "src/${fn}/${base}|${source}")
  endforeach()
endforeach()

set(pkg_depends)
foreach(entry ${pkg_files})
  string(REPLACE "|" ";" pair "${entry}")
  list(GET pair 1 source)
  list(APPEND pkg_depends ${source})
endforeach()
string(REPLACE ";" "," pkg_files_arg "${pkg_files}")
add_custom_command(
  OUTPUT ${MEXTK_PACKAGE_TARBALL}
  COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_BINARY_DIR}/package/stage
          -DNAME=${MEXTK_PACKAGE_NAME}-${PROJECT_VERSION} "-DFILES=${pkg_files_arg}"
          -DTARBALL=${MEXTK_PACKAGE_TARBALL} -P ${CMAKE_SOURCE_DIR}/cmake/make_package.cmake
  DEPENDS ${pkg_depends} ${CMAKE_SOURCE_DIR}/cmake/make_package.cmake
  COMMENT "Octave package ${MEXTK_PACKAGE_NAME}-${PROJECT_VERSION}.tar.gz"
  VERBATIM)
add_custom_target(octave_package ALL DEPENDS ${MEXTK_PACKAGE_TARBALL})
