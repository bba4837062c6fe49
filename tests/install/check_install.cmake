# Installs BUILD_DIR into a fresh PREFIX and checks that the tree holds
# exactly EXPECTED (paths relative to PREFIX, separated by |), and that the
# installed TOOL (ddsimport, run through EMULATOR when cross-built), run from
# outside the source and build trees, prints its usage when given no file,
# and imports SAMPLE with the installed PLUGIN into OUT.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX} ${OUT})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --config ${CONFIG}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${output}${errors}")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${PREFIX} ${PREFIX}/*)
string(REPLACE "|" ";" expected "${EXPECTED}")
list(REMOVE_ITEM expected "")
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()

# Run from a folder that is neither the source nor the build tree.
file(MAKE_DIRECTORY ${OUT})
function(run_tool)
  execute_process(COMMAND ${EMULATOR} ${PREFIX}/${TOOL} ${ARGN} WORKING_DIRECTORY ${OUT}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  string(REPLACE "\r" "" output "${output}")
  string(REPLACE "\r" "" errors "${errors}")
  message(STATUS "${TOOL} ${ARGN}: exit ${status}\n${output}${errors}")
  set(status ${status} PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

run_tool()
if(NOT status EQUAL 2 OR NOT errors MATCHES "usage: ddsimport")
  message(FATAL_ERROR "with no file, the installed ddsimport must print its usage and exit with 2")
endif()

run_tool(-o ${OUT} ${SAMPLE})
if(NOT status EQUAL 0 OR NOT output MATCHES "\nimported 1 of 1 files\n")
  message(FATAL_ERROR "the installed ddsimport did not import ${SAMPLE}")
endif()
get_filename_component(stem ${SAMPLE} NAME_WE)
if(NOT EXISTS ${OUT}/${stem}.png)
  message(FATAL_ERROR "the installed ddsimport did not write ${OUT}/${stem}.png")
endif()
# The plug-in it loaded, as it names it; a Windows path under wine has a
# drive letter and backslashes.
if(NOT output MATCHES " from ([^\n]*)\n")
  message(FATAL_ERROR "the installed ddsimport did not name its plug-in")
endif()
string(REPLACE "\\" "/" loaded "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^[A-Za-z]:" "" loaded "${loaded}")
if(NOT loaded STREQUAL "${PREFIX}/${PLUGIN}")
  message(FATAL_ERROR "the installed ddsimport loaded ${loaded}, not ${PREFIX}/${PLUGIN}")
endif()
