# Makes the package of BUILD_DIR with CPACK (generator GENERATOR) into OUT and
# checks that it holds exactly EXPECTED (paths separated by |), inside one top
# folder named after the package when TOP_FOLDER is on, at its top otherwise.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} -G ${GENERATOR} -B ${OUT} WORKING_DIRECTORY ${BUILD_DIR}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
file(GLOB package ${OUT}/*.zip ${OUT}/*.tar.gz)
list(LENGTH package count)
if(NOT status EQUAL 0 OR NOT count EQUAL 1)
  message(FATAL_ERROR "cpack (status ${status}) made ${count} packages, not one:\n${output}${errors}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${package} OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")
list(FILTER listing EXCLUDE REGEX "/$")  # folders
if(TOP_FOLDER)
  get_filename_component(name ${package} NAME)
  string(REGEX REPLACE "\\.(zip|tar\\.gz)$" "/" top "${name}")
  list(TRANSFORM listing REPLACE "^${top}" "")
endif()
string(REPLACE "|" ";" expected "${EXPECTED}")
list(REMOVE_ITEM expected "")
list(SORT listing)
list(SORT expected)
if(NOT listing STREQUAL expected)
  message(FATAL_ERROR "${package} holds:\n  ${listing}\nexpected:\n  ${expected}")
endif()
