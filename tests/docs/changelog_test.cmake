# The changelog's top entry names the project's version.
#   cmake -DCHANGELOG=debian/changelog -DVERSION=... -P changelog_test.cmake
file(STRINGS ${CHANGELOG} top LIMIT_COUNT 1)
if(NOT top MATCHES "^dep \\(([^)]+)\\) ")
  message(FATAL_ERROR "${CHANGELOG}: the top line is not \"dep (VERSION) ...\": ${top}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${CHANGELOG} names ${CMAKE_MATCH_1} at the top, "
    "the project (CMakeLists.txt) is at ${VERSION}")
endif()
