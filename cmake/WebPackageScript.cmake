# CPack's package script for the web (CPack External): the staged page as it
# is, and the staged app's files at the top of a ZIP.
include(${CMAKE_CURRENT_LIST_DIR}/ReproducibleZip.cmake)
set(DEP_APP_ZIP ${CPACK_TOPLEVEL_DIRECTORY}/dep-${CPACK_PACKAGE_VERSION}-app.zip)
reproducible_zip(${CPACK_TEMPORARY_DIRECTORY}/app ${DEP_APP_ZIP})
set(CPACK_EXTERNAL_BUILT_PACKAGES
  ${CPACK_TEMPORARY_DIRECTORY}/dep-${CPACK_PACKAGE_VERSION}.html ${DEP_APP_ZIP})
