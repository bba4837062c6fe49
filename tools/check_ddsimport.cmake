# Runs ddsimport and checks its exit status, its output and the files it
# wrote.  Variables: PROGRAM, OUT, ARGS (separated by |), EXPECT_EXIT,
# EXPECT_OUTPUT and EXPECT_ERRORS (regular expressions for its standard
# output and standard error), EXPECT_FILE, EXPECT_NO_FILE, and
# EMULATOR (what runs a cross-built PROGRAM, e.g. cmake/wine-run.sh; empty
# for a native build).
file(REMOVE_RECURSE ${OUT})
string(REPLACE "|" ";" ARGS "${ARGS}")
execute_process(COMMAND ${EMULATOR} ${PROGRAM} -o ${OUT} ${ARGS}
  RESULT_VARIABLE exit_status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
# Windows programs under wine end their lines with \r\n.
string(REPLACE "\r" "" output "${output}")
string(REPLACE "\r" "" errors "${errors}")
message(STATUS "ddsimport said:\n${output}${errors}")
if(NOT exit_status STREQUAL EXPECT_EXIT)
  message(FATAL_ERROR "exit status ${exit_status}, expected ${EXPECT_EXIT}")
endif()
string(REPLACE "\n" " " flat "${output}")
if(DEFINED EXPECT_OUTPUT AND NOT output MATCHES "${EXPECT_OUTPUT}" AND NOT flat MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "output does not match: ${EXPECT_OUTPUT}")
endif()
if(DEFINED EXPECT_ERRORS AND NOT errors MATCHES "${EXPECT_ERRORS}")
  message(FATAL_ERROR "errors do not match: ${EXPECT_ERRORS}")
endif()
if(DEFINED EXPECT_FILE AND NOT EXISTS ${EXPECT_FILE})
  message(FATAL_ERROR "${EXPECT_FILE} was not written")
endif()
if(DEFINED EXPECT_NO_FILE AND EXISTS ${EXPECT_NO_FILE})
  message(FATAL_ERROR "${EXPECT_NO_FILE} was written")
endif()
