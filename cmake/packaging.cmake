# Packages made by "cpack" in the build directory: a .deb and a .tar.gz on
# Linux, a .zip for Windows from the mingw-w64 cross build. Their contents are
# what cmake/install.cmake installs, the program stripped.
set(CPACK_PACKAGE_NAME gridtally)
set(CPACK_PACKAGE_VENDOR "The gridtally developers")
set(CPACK_PACKAGE_CONTACT "The gridtally developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "race weekend reports from Grand Prix Legends replays")
# The .deb shows the description as it stands: lines of at most 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "gridtally reads a replay file (.rpy) saved by the racing simulator Grand"
  "Prix Legends and writes a report of the race weekend it records: the event"
  "and its carset, the entry list, the practice results, the race"
  "classification, the fastest laps and every lap time of every car, as aligned"
  "text or as semicolon-delimited key=value tables for scripts.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
  # The zip unpacks into a folder of that name.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR "DEB;TGZ")
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # dpkg-shlibdeps names the libraries the program links against.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The completion takes effect with bash-completion.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
endif()

include(CPack)
