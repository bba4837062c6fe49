# GoogleTest built from the sources of Debian's googletest package
# (/usr/src/googletest), for a cross-build that has no GoogleTest of its own.
# Defines GTest::gtest, GTest::gtest_main, GTest::gmock and GTest::gmock_main,
# as find_package(GTest) does; each is built only when something links it.
set(DDSIMAGE_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${DDSIMAGE_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${DDSIMAGE_GOOGLETEST_SOURCE_DIR} (apt-get install googletest)")
endif()
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# SYSTEM: the project's warning flags do not apply to GoogleTest's headers.
add_subdirectory(${DDSIMAGE_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
  add_library(GTest::gmock ALIAS gmock)
  add_library(GTest::gmock_main ALIAS gmock_main)
endif()
