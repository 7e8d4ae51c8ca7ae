# One release: the Debian package, the Windows ZIP, the web page, the web
# app and the source archive of the version, each built with the preset that
# builds it but without its tests (CI runs them), gathered in build/dist/
# with their checksums.
find_package(Git REQUIRED)
add_custom_target(dist ALL
  COMMAND ${CMAKE_COMMAND}
    -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
    -DVERSION=${PROJECT_VERSION}
    -DGIT=${GIT_EXECUTABLE}
    -DDIST_DIR=${PROJECT_SOURCE_DIR}/build/dist
    -P ${PROJECT_SOURCE_DIR}/cmake/scripts/make_release.cmake
  USES_TERMINAL
  VERBATIM)
