# Tests of the Windows cross build: GoogleTest from the sources Debian ships
# (package googletest), and Wine to run the test programs.
set(GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${GTEST_SOURCE_DIR} (package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest has its own warning flags; ours would stop its build.
set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "")

# Wine runs the programs with a prefix of its own in the build directory,
# without a display and without its debug chatter.
find_program(WINE_PROGRAM NAMES wine wine64 PATHS /usr/lib/wine REQUIRED)
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# Wine shows the host's root directory as drive Z:; the tests get Windows paths.
set(HOST_PATH_PREFIX "Z:")
